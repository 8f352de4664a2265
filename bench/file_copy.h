#pragma once

// What the file benchmarks are held against: `cp` of the same file, with `sync` when the work
// being measured puts its bytes on the disk.

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdlib>

inline void timeFileCopy(benchmark::State& state, const QString& name, const QString& copy, bool sync) {
  const QByteArray command = ("cp -- '" + name + "' '" + copy + "'" + (sync ? " && sync -- '" + copy + "'" : "")).toLocal8Bit();
  for (auto _ : state) {
    if (std::system(command.constData()) != 0) {
      state.SkipWithError("cp failed");
      break;
    }
    state.PauseTiming();
    QFile::remove(copy);
    state.ResumeTiming();
  }
}
