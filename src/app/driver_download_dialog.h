// Offers the three driver packages on the maker's web site for download in the browser.
#pragma once

#include <QDialog>

#include "web_links.h"

class QPushButton;

namespace vek {

// Stays open after each download, so that several packages can be fetched in one visit.
class DriverDownloadDialog : public QDialog {
    Q_OBJECT
  public:
    DriverDownloadDialog(QWidget* parent, WebOpener opener);

  private:
    QPushButton* MakeDownloadButton(const QString& objectName, const QString& caption,
                                    const char* packagePath);

    WebOpener opener_;
};

}  // namespace vek
