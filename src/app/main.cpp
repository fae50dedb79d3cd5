// The window program: real USB by default, the simulated communicator with --simulate.

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "app/StopSignals.h"
#include "link/SystemHidPlatform.h"
#include "sim/SimStateFile.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedCommunicator.h"
#include "ui/ComboSet.h"
#include "ui/Gsm.h"
#include "ui/GsmSimStateKeeper.h"
#include "ui/Passwd.h"
#include "ui/QtText.h"
#include "ui/SimulatorWindow.h"
#include "ui/ToolImages.h"
#include "ui/WindowDialogs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// A window program on Windows starts without a console: --help, --version and the start-up
// errors go to the console it was started from, unless its output is already redirected.
void ReachTheStartingConsole() {
#ifdef _WIN32
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE &&
        GetFileType(output) != FILE_TYPE_UNKNOWN) {
        return;
    }
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::FILE* ignored = std::freopen("CONOUT$", "w", stdout);
        ignored = std::freopen("CONOUT$", "w", stderr);
        static_cast<void>(ignored);
    }
#endif
}

constexpr int kMostSimulated = 16;

bool IsCount(const std::string& text) {
    return !text.empty() && text.size() <= 2 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

// Shows an exception that escapes a handler and lets the program go on.
class Application : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            quelvar::ui::ShowPlainMessage(activeWindow(), QMessageBox::Critical, "Quelvar GSM",
                                          QString::fromLocal8Bit(error.what()));
        } catch (...) {
            quelvar::ui::ShowPlainMessage(activeWindow(), QMessageBox::Critical, "Quelvar GSM",
                                          QString());
        }
        return false;
    }
};

constexpr const char* kUsage =
    "Usage: quelvar-gsm [--simulate [N]] [--sim-state FILE] [--help] [--version] [FILE.am2]\n"
    "\n"
    "Configuration tool of the Quelvar GSM alarm communicator. A settings file named on the\n"
    "command line opens as the Open button opens it: shown in the window until a device logs in.\n"
    "\n"
    "  --simulate   talk to the built-in simulated communicator instead of USB, with a window\n"
    "               to plug and unplug it, set its password and signal and send events\n"
    "  --simulate N N simulated communicators at once (1 to 16), each with its own page in\n"
    "               that window; More > Choose device... and Provision devices... work them\n"
    "  --sim-state FILE  keep the simulated communicator's settings and memory in FILE\n"
    "               between runs (as quelvar-gsm-cli does); implies --simulate\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

int RunWindows(quelvar::link::HidPlatform& platform, quelvar::sim::SimulatedCommunicator* simulator,
               quelvar::sim::SimulatedBus* bus, quelvar::sim::SimStateFile* stateFile,
               const QStringList& files) {
    quelvar::ui::TFormMain formMain(platform);
    if (stateFile != nullptr) {
        new quelvar::ui::SimStateKeeper(formMain, *stateFile);  // owned by the window
    }
    quelvar::ui::TSetFrm setFrm;
    quelvar::ui::TPasswdFrm passwdFrm;
    formMain.SetDialogs(&setFrm, &passwdFrm);
    formMain.show();
    std::unique_ptr<quelvar::ui::SimulatorWindow> simulatorWindow;
    std::unique_ptr<quelvar::ui::SimulatorsWindow> simulatorsWindow;
    // Closing the main window ends the program even while these are open.
    if (simulator != nullptr) {
        simulatorWindow = std::make_unique<quelvar::ui::SimulatorWindow>(*simulator);
        simulatorWindow->setAttribute(Qt::WA_QuitOnClose, false);
        simulatorWindow->show();
        simulatorWindow->PlaceBeside(formMain);
    } else if (bus != nullptr) {
        simulatorsWindow = std::make_unique<quelvar::ui::SimulatorsWindow>(*bus);
        simulatorsWindow->setAttribute(Qt::WA_QuitOnClose, false);
        simulatorsWindow->show();
        simulatorsWindow->PlaceBeside(formMain);
    }
    if (!files.isEmpty()) {
        // Its dialogs (findings, an error) are answered before the window's loop runs.
        formMain.OpenSettingsFile(files.first());
    }
    return quelvar::app::ExecUnlessStopped();
}

// Qt ends the program with an abort when it finds no display: say so instead. Only what can be
// seen before Qt starts: a platform chosen by the environment or "-platform", or a display's
// variable. Windows and macOS always have their own.
bool DisplayFound(int argc, char** argv) {
#if defined(_WIN32) || defined(__APPLE__)
    (void)argc;
    (void)argv;
    return true;
#else
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "-platform", 9) == 0) {
            return true;
        }
    }
    return false;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    ReachTheStartingConsole();
    bool simulate = false;
    int simulatedCount = 1;
    std::optional<std::string> simState;
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
        if (arg == "--simulate" || arg.rfind("--simulate=", 0) == 0) {
            simulate = true;
            std::string count = arg == "--simulate" ? std::string() : arg.substr(11);
            if (arg == "--simulate" && i + 1 < argc && IsCount(argv[i + 1])) {
                count = argv[++i];
            }
            if (!count.empty()) {
                if (!IsCount(count) || std::stoi(count) < 1 || std::stoi(count) > kMostSimulated) {
                    std::fprintf(stderr, "--simulate takes 1 to %d communicators, not \"%s\"\n",
                                 kMostSimulated, count.c_str());
                    return 64;
                }
                simulatedCount = std::stoi(count);
            }
        } else if (arg == "--sim-state" || arg.rfind("--sim-state=", 0) == 0) {
            if (arg == "--sim-state" && i + 1 == argc) {
                std::fputs("--sim-state needs a file name; see --help\n", stderr);
                return 64;
            }
            simState = arg == "--sim-state" ? argv[++i] : arg.substr(std::strlen("--sim-state="));
            simulate = true;
        } else if (arg.rfind("-", 0) == 0 && arg.rfind("-platform", 0) != 0) {
            std::fprintf(stderr, "Unknown option \"%s\"; see --help\n", arg.c_str());
            return 64;
        }
    }
    if (!DisplayFound(argc, argv)) {
        std::fputs(
            "quelvar-gsm: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); "
            "quelvar-gsm-cli works without one\n",
            stderr);
        return 1;
    }
    Application app(argc, argv);
    app.setWindowIcon(quelvar::ui::AppIcon());
    // Qt has taken its own options (and their values) out of the arguments by now.
    QStringList files;
#ifdef _WIN32
    const QStringList arguments = app.arguments().mid(1);
#else
    // Names as the system gives their bytes: one that is no UTF-8 is found all the same.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << quelvar::ui::FromLocalPath(argv[i]);
    }
#endif
    for (auto arg = arguments.begin(); arg != arguments.end(); ++arg) {
        if (*arg == "--sim-state") {
            ++arg;  // its file is no settings file
        } else if (*arg == "--simulate" && arg + 1 != arguments.end() &&
                   IsCount((arg + 1)->toStdString())) {
            ++arg;  // the number of communicators
        } else if (!arg->startsWith('-')) {
            files << *arg;
        }
    }
    if (files.size() > 1) {
        std::fputs("Name one settings file at most; see --help\n", stderr);
        return 64;
    }

    std::unique_ptr<quelvar::link::HidPlatform> platform;
    std::unique_ptr<quelvar::sim::SimStateFile> stateFile;
    quelvar::sim::SimulatedCommunicator* simulator = nullptr;
    quelvar::sim::SimulatedBus* bus = nullptr;
    if (simulate && simState && simulatedCount > 1) {
        std::fprintf(stderr, "--sim-state keeps one simulated communicator, not %d\n",
                     simulatedCount);
        return 64;
    }
    if (simulate && simulatedCount > 1) {
        quelvar::sim::SimulatedCommunicator::Options options;
        options.statusPeriod = std::chrono::milliseconds(500);
        auto created = std::make_unique<quelvar::sim::SimulatedBus>(
            static_cast<std::size_t>(simulatedCount), options);
        for (std::size_t i = 0; i < created->Count(); ++i) {
            created->Communicator(i).ApplyEnvironment();
        }
        bus = created.get();
        platform = std::move(created);
    } else if (simulate) {
        quelvar::sim::SimulatedCommunicator::Options options;
        options.statusPeriod = std::chrono::milliseconds(500);
        auto created = std::make_unique<quelvar::sim::SimulatedCommunicator>(options);
        simulator = created.get();
        simulator->ApplyEnvironment();
        platform = std::move(created);
        if (simState) {
            stateFile = std::make_unique<quelvar::sim::SimStateFile>(*simState, *simulator);
            bool inUse = false;
            if (const std::string error = stateFile->Load(std::chrono::milliseconds(0), inUse);
                !error.empty()) {
                std::fprintf(stderr, "%s\n", error.c_str());
                // Where no one could read it (the offscreen platform), standard error has it.
                if (QGuiApplication::platformName() != "offscreen") {
                    quelvar::ui::ShowPlainMessage(nullptr, QMessageBox::Critical,
                                                  quelvar::ui::kCaption,
                                                  QString::fromLocal8Bit(error));
                }
                return inUse ? 1 : 3;
            }
        }
    } else {
        platform = quelvar::link::MakeSystemHidPlatform();
    }
    quelvar::app::QuitOnStopSignals();
    int code = RunWindows(*platform, simulator, bus, stateFile.get(), files);
    // The window's connection is closed by now: what the run left on the device is kept.
    if (stateFile) {
        if (const std::string error = stateFile->Save(); !error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            code = code == 0 ? 3 : code;
        }
    }
    return code;
}
