// A HEX file dropped on the main window is opened as if chosen in the file dialog.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QMimeData;
class QWidget;

namespace vek {

// The first of the dragged files when it is a local ".hex" or ".sxh" file (any letter case).
std::optional<QString> DraggedHexFile(const QMimeData* data);

class HexFileDrop : public QObject {
    Q_OBJECT
  public:
    using OpenFile = std::function<void(const QString& path)>;
    // Lets `window` take drops; mayOpen says whether a file may be opened now.
    HexFileDrop(QWidget* window, std::function<bool()> mayOpen, OpenFile open);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<bool()> mayOpen_;
    OpenFile open_;
};

}  // namespace vek
