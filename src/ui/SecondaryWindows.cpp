#include "ui/SecondaryWindows.h"

#include <QVBoxLayout>

#include "ui/FieldPanel.h"

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

QWidget* CreateImportWindow(FieldStore& fields) {
  QWidget* window = CreateWindow("ImportWindow", "Import", {1000, 700});
  window->layout()->addWidget(CreateFieldPanel(fields, Window::Import, window));
  return window;
}

QWidget* CreateConfigurationWindow(FieldStore& fields) {
  QWidget* window = CreateWindow("ConfigurationWindow", "Configuration", {900, 650});
  window->layout()->addWidget(CreateFieldPanel(fields, Window::Configuration, window));
  return window;
}

QWidget* CreateAnalysisWindow() { return CreateWindow("AnalysisWindow", "Analysis", {800, 500}); }

}  // namespace corvane::ui
