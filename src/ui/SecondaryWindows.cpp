#include "ui/SecondaryWindows.h"

#include <QVBoxLayout>

namespace corvane::ui {
namespace {

QWidget* CreateWindow(const char* name, const char* caption, QSize size) {
  auto* window = new QWidget(nullptr, Qt::Window);
  window->setObjectName(name);
  window->setWindowTitle(caption);
  window->resize(size);
  new QVBoxLayout(window);
  return window;
}

}  // namespace

QWidget* CreateImportWindow() { return CreateWindow("ImportWindow", "Import", {1000, 700}); }

QWidget* CreateConfigurationWindow() {
  return CreateWindow("ConfigurationWindow", "Configuration", {900, 650});
}

QWidget* CreateAnalysisWindow() { return CreateWindow("AnalysisWindow", "Analysis", {800, 500}); }

}  // namespace corvane::ui
