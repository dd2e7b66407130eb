// MainWindow: the About box.

#include "Application.h"
#include "MainWindow.h"
#include "MessageDialog.h"

void MainWindow::openInformation() {
  Application::VersionInformation info;
  const QString title = tr("Application Information");
  const QString text = tr("%1  V%2\n\n%3").arg(info.productName(), info.shortVersion(), info.copyright());
  showInformation(this, title, text, 450, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::NoIcon);
}
