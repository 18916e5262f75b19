// The baseline of the start-up benchmark: the least a Qt Widgets program does
// to put a main window on the screen.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.resize(800, 600);
  window.show();
  return app.exec();
}
