// A leak planted on purpose in code of ours that runs under Qt's event loop, as every handler
// does: the asan preset must report it, with the leak suppressions it runs under. If this program
// ever ends without LeakSanitizer's report, leak detection is off or a suppression hides our code.

#include <QCoreApplication>
#include <QTimer>

namespace {

int* volatile lastAllocation = nullptr;

void plantLeak() {
  lastAllocation = new int[64]{};
  lastAllocation = nullptr;  // the only pointer to it is gone
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QTimer::singleShot(0, [] {
    plantLeak();
    QCoreApplication::quit();
  });
  return QCoreApplication::exec();
}
