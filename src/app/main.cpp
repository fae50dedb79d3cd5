// The window program: real USB by default, the simulated communicator with --simulate.

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <cstdio>
#include <exception>
#include <memory>

#include "link/SystemHidPlatform.h"
#include "sim/SimulatedCommunicator.h"
#include "ui/ComboSet.h"
#include "ui/Gsm.h"
#include "ui/Passwd.h"
#include "ui/ToolImages.h"

namespace {

// Shows an exception that escapes a handler and lets the program go on.
class Application : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            QMessageBox::critical(activeWindow(), "Quelvar GSM",
                                  QString::fromLocal8Bit(error.what()));
        } catch (...) {
            QMessageBox::critical(activeWindow(), "Quelvar GSM", QString());
        }
        return false;
    }
};

constexpr const char* kUsage =
    "Usage: quelvar-gsm [--simulate] [--help] [--version] [FILE.am2]\n"
    "\n"
    "Configuration tool of the Quelvar GSM alarm communicator. A settings file named on the\n"
    "command line opens as the Open button opens it: shown in the window until a device logs in.\n"
    "\n"
    "  --simulate   talk to the built-in simulated communicator instead of USB\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

}  // namespace

int main(int argc, char** argv) {
    bool simulate = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("quelvar-gsm %s\n", QUELVAR_VERSION);
            return 0;
        }
        if (arg == "--simulate") {
            simulate = true;
        } else if (arg.rfind("-", 0) == 0 && arg.rfind("-platform", 0) != 0) {
            std::fprintf(stderr, "Unknown option \"%s\"; see --help\n", arg.c_str());
            return 64;
        }
    }
    Application app(argc, argv);
    app.setWindowIcon(quelvar::ui::AppIcon());
    // Qt has taken its own options (and their values) out of the arguments by now.
    QStringList files;
    for (const QString& arg : app.arguments().mid(1)) {
        if (!arg.startsWith('-')) {
            files << arg;
        }
    }
    if (files.size() > 1) {
        std::fputs("Name one settings file at most; see --help\n", stderr);
        return 64;
    }

    std::unique_ptr<quelvar::link::HidPlatform> platform;
    if (simulate) {
        quelvar::sim::SimulatedCommunicator::Options options;
        options.statusPeriod = std::chrono::milliseconds(500);
        platform = std::make_unique<quelvar::sim::SimulatedCommunicator>(options);
    } else {
        platform = quelvar::link::MakeSystemHidPlatform();
    }
    quelvar::ui::TFormMain formMain(*platform);
    quelvar::ui::TSetFrm setFrm;
    quelvar::ui::TPasswdFrm passwdFrm;
    formMain.SetDialogs(&setFrm, &passwdFrm);
    formMain.show();
    if (!files.isEmpty()) {
        formMain.OpenSettingsFile(files.first());
    }
    return app.exec();
}
