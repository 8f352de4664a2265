#pragma once

// Whole files for the table-file tests: reading, writing, and the golden files beside this
// header, which are compared byte for byte.

#include <QFile>
#include <QTest>

inline QByteArray readAll(const QString& fileName) {
  QFile file(fileName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

inline void writeFile(const QString& fileName, const QByteArray& bytes) {
  QFile file(fileName);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

inline QString goldenPath(const char* name) { return QFINDTESTDATA(QString("golden/") + name); }

inline QByteArray golden(const char* name) { return readAll(goldenPath(name)); }
