#include "ui/Captions.h"
#include "ui/Application.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QGridLayout>
#include <QPushButton>
#include <QSessionManager>
#include <QUrl>
#include <cstdio>
#include <memory>
#include <vector>

#include "machine/ConfigurationActions.h"
#include "system/CommandLine.h"
#include "system/Paths.h"
#include "system/SingleInstance.h"
#include "system/System.h"
#include "system/Version.h"
#include "ui/MainWindow.h"
#include "ui/AnalysisGraphWindow.h"
#include "ui/BackupsPanel.h"
#include "ui/ConfigurationLinks.h"
#include "ui/ConfigurationWindow.h"
#include "ui/ImportWindow.h"
#include "ui/ProfileButtons.h"
#include "ui/ProgramRestart.h"
#include "ui/QtHost.h"
#include "ui/SecondaryWindows.h"
#include "ui/SplashScreen.h"
#include "ui/TerminationSignals.h"
#include "ui/UiWait.h"
#include "virtual/ControllerFields.h"
#include "virtual/ControllerSetup.h"

namespace corvane::ui {

int RunProgram(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  const CommandLine line = ParseCommandLine(arguments);
  if (!line.error.empty()) {
    Paths where;
    where.dataRoot = ResolveDataRoot();
    ReportCommandLineError(line, "corvane", where.logsFolder(), SteadyClock().localNow());
    return 2;
  }
  if (line.help) {
    std::fputs(UsageText("corvane").c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::printf("%s %s\n", kApplicationTitle, VersionText().c_str());
    return 0;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(kApplicationTitle);
  Paths paths;
  paths.programFolder = ResolveProgramFolder(QApplication::applicationDirPath().toStdString());
  paths.dataRoot = ResolveDataRoot();
  paths.profileName = line.profile;

  // The splash tests the data root at once; the main window follows as soon
  // as it is built, with the splash over it until it slides out.
  SplashScreen splash(QString::fromStdString(paths.programFolder),
                      QString::fromStdString(paths.dataRoot));
  splash.show();
  QApplication::processEvents();
  splash.testDataRoot();
  if (splash.testState() == SplashScreen::TestState::Failed) {
    while (splash.isVisible()) WaitProcessing(10);
    return 1;
  }

  SingleInstance instance;
  if (!AcquireInstance(instance)) return 0;

  SteadyClock clock;
  QtHost host;
  System system(clock, host, paths);
  MainWindow mainWindow(system, &splash);
  host.setMainWindow(&mainWindow);
  std::unique_ptr<ImportWindow> importWindow(new ImportWindow(system));
  std::unique_ptr<ConfigurationWindow> configurationWindow(new ConfigurationWindow(system.fields));
  std::unique_ptr<QWidget> analysisWindow(CreateAnalysisWindow(system));
  if (!mainWindow.create()) return 1;
  const std::unique_ptr<Controller> controller = MakeController(system, line);
  BindControllerFields(system, *controller);
  mainWindow.setAnalysisWindow(static_cast<AnalysisGraphWindow*>(analysisWindow.get()));
  mainWindow.attachController(controller.get());
  ConfigurationActions configuration(system, controller->commands, controller->connection,
                                     controller->link.state);
  configuration.Install();
  configurationWindow->attach(system, *controller, configuration);
  configurationWindow->setRestart([&mainWindow] { mainWindow.restartProgram(); });
  BindConfiguration(mainWindow, *configurationWindow, system, *controller, configuration);

  // "Advanced.txt": the file is read only at start, so open it and end normally.
  auto* files = configurationWindow->findChild<QWidget*>("ProgramFiles");
  auto* advancedButton = new QPushButton("Advanced.txt", files);
  advancedButton->setObjectName("AdvancedTxt");
  static_cast<QGridLayout*>(files->layout())->addWidget(advancedButton, 0, 2);
  AddProfileButtons(*static_cast<QGridLayout*>(files->layout()), 1, system, mainWindow);
  AddStoreButtons(*static_cast<QGridLayout*>(files->layout()), 2, system, *configurationWindow,
                  [&system] { RestartWithoutSaving(system); });
  QObject::connect(advancedButton, &QPushButton::clicked, &mainWindow,
                   [advancedButton, &system, &mainWindow] {
                     advancedButton->setEnabled(false);
                     QDesktopServices::openUrl(QUrl::fromLocalFile(
                         QString::fromStdString(system.paths.storeFolder() + "advanced.txt")));
                     WaitProcessing(100);
                     mainWindow.close();
                   });

  QObject::connect(&mainWindow, &MainWindow::importRequested, importWindow.get(), &ImportWindow::Open);
  QObject::connect(importWindow.get(), &ImportWindow::jobSent, &mainWindow, [&mainWindow] { mainWindow.update(); });

  // The buttons added here came after the language: show them in it too.
  ShowCaptionsEverywhere(system.messages);

  TerminationSignals termination;
  QObject::connect(&termination, &TerminationSignals::terminationRequested, &mainWindow,
                   &QWidget::close);
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &mainWindow,
                   [&mainWindow](QSessionManager&) { mainWindow.close(); });

  // A job that a crash, a kill or a power cut interrupted: once the first
  // show has connected, offer to resume it where the board last confirmed.
  QObject::connect(&mainWindow, &MainWindow::firstShowFinished, &mainWindow,
                   [&controller] { controller->runner.OfferResume(); }, Qt::QueuedConnection);

  mainWindow.show();
  const int result = QApplication::exec();
  host.setMainWindow(nullptr);
  if (mainWindow.restartRequested()) {
    // The new instance must find the device free and the lock released.
    controller->link.Disconnect();
    instance.Release();
    if (!StartNewInstance()) system.log.WriteLog("The program could not be started again; start it by hand");
  }
  return result;
}

}  // namespace corvane::ui
