// qt-player DIR [--quit-after N]: plays the .jpg frames of DIR in a window, looped, and shows
// each event the control fires in a label. With --quit-after it quits after N events (for
// scripts and tests); it prints each event on standard output as well.
#include <movitrel/host/instance/HostedControl.h>
#include <movitrel/host/qt/MovitrelWidget.h>

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

// A registry file of this application's own, as every container keeps one.
std::string RegistryFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::filesystem::path base =
        config && *config ? std::filesystem::path(config) : std::filesystem::temp_directory_path();
    return (base / "qt-player" / "registry.reg").string();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: qt-player DIR [--quit-after N]\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const int quitAfter =
        argc >= 4 && std::string(argv[2]) == "--quit-after" ? std::atoi(argv[3]) : 0;

    std::string error;
    std::unique_ptr<CHostedControl> control =
        CHostedControl::Create(RegistryFile(), QT_PLAYER_MODULE, &error);
    if (!control) {
        std::fprintf(stderr, "qt-player: %s\n", error.c_str());
        return 1;
    }
    control->Control().OnResetState();

    QWidget window;
    window.setWindowTitle("qt-player");
    auto* layout = new QVBoxLayout(&window);
    auto* player = new MovitrelWidget(control->Control());
    player->setMinimumSize(480, 360);
    auto* events = new QLabel("no events yet");
    layout->addWidget(player, 1);
    layout->addWidget(events);

    int heard = 0;
    QObject::connect(player, &MovitrelWidget::controlEvent,
                     [&](int, const QString& name, const QVariantList& args) {
                         QStringList values;
                         for (const QVariant& a : args) values << a.toString();
                         const QString text = name + "(" + values.join(",") + ")";
                         events->setText(text);
                         std::printf("%s\n", text.toUtf8().constData());
                         std::fflush(stdout);
                         if (quitAfter > 0 && ++heard >= quitAfter) app.quit();
                     });

    window.show();
    player->SetControlProperty("Dir", dir);
    player->SetControlProperty("Loop", true);
    player->SetControlProperty("Delay", 40);
    player->SetControlProperty("Command", 1);
    // Stop, then play again: two ChangeCommand events a script can wait for.
    player->SetControlProperty("Command", 7);
    player->SetControlProperty("Command", 1);
    const int status = app.exec();
    delete player;  // the widget goes before the control it hosts
    return status;
}
