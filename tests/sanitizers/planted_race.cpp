// A data race planted on purpose in code of ours: a plain thread and a handler that Qt's event
// loop runs write the same counter without a lock. The tsan preset must report it, with the
// suppressions it runs under; if this program ever ends without ThreadSanitizer's report, a
// suppression hides our own code.

#include <QCoreApplication>
#include <QTimer>

#include <thread>

namespace {

int counter = 0;

void plantRace() {
  for (int i = 0; i < 1000; ++i) {
    ++counter;
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  std::thread other(plantRace);
  QTimer::singleShot(0, [&other] {
    plantRace();
    other.join();
    QCoreApplication::quit();
  });
  return QCoreApplication::exec() + (counter > 0 ? 0 : 1);
}
