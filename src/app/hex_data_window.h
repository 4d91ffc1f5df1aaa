// The Hex Data window: a small window beside the main window that lists a memory image as
// lines of text. Closing it destroys it; the next listing makes a new one.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;

namespace vek {

class HexDataWindow : public QDialog {
    Q_OBJECT
  public:
    explicit HexDataWindow(QWidget* mainWindow);

    void SetLines(const std::vector<std::string>& lines);
    void Clear();
    QStringList Lines() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CopySelectedLines() const;
    void WidenToLongestLine();

    QListWidget* list_ = nullptr;
};

}  // namespace vek
