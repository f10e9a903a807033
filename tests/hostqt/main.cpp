// One program for every test class of the Qt container: QTEST_MAIN allows only one.
#include <QApplication>

#include "tests/hostqt/QtTests.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    int failed = 0;
    failed += RunMovitrelWidgetTest(argc, argv);
    failed += RunPropertyFrameTest(argc, argv);
    failed += RunBorderTrackerTest(argc, argv);
    return failed;
}
