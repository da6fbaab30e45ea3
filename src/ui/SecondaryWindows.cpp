#include "ui/SecondaryWindows.h"

#include <QVBoxLayout>

#include "ui/AnalysisGraphWindow.h"
#include "ui/ConfigurationWindow.h"
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

QWidget* CreateConfigurationWindow(FieldStore& fields) { return new ConfigurationWindow(fields); }

QWidget* CreateAnalysisWindow(System& system) { return new AnalysisGraphWindow(system); }

}  // namespace corvane::ui
