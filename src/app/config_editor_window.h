// What the three configuration editor windows share: their place beside the main window,
// the ways they close, how the word of a click goes out, and their controls' construction.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <string>

#include "config_editor.h"
#include "session/window_state.h"
#include "window_placement.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;

namespace vek {

class ConfigEditorWindow : public ConfigEditor {
    Q_OBJECT
  public:
    void CloseQuietly() override;
    // The close box and Escape both end here.
    void reject() override;

  protected:
    ConfigEditorWindow(QWidget* mainWindow, WindowState& state, ShowInField showInField,
                       const QString& title);

    // Makes the word from the controls and hands it out; every click runs it.
    virtual void Apply() = 0;

    // Shows the window `offset` dialog units from the main window's client area, as a
    // dialog template places it, but never off the main window's screen.
    void ShowBesideMainWindow(DialogUnits offset);

    // A word made by a click goes to the shared text, to the settings under each key and to
    // the main window's field.
    void Publish(std::string& sharedText, const std::string& word,
                 std::initializer_list<const char*> keys);

    // Radio buttons in `grid` from `firstRow` on, `columns` to a row, named `name` and their
    // index, which is also their id in the returned group. A click on one applies.
    QButtonGroup* AddRadioButtons(QGridLayout* grid, int firstRow, const QStringList& captions,
                                  const QString& name, int columns);
    // The same in a group box of their own at (row, column) of `grid`.
    QButtonGroup* AddRadioGroup(QGridLayout* grid, int row, int column, const QString& title,
                                const QStringList& captions, const QString& name, int columns = 2);
    QCheckBox* NewCheckBox(const QString& caption, const QString& name);
    // A drop-down list that applies whenever the person picks a line, even the same one.
    QComboBox* NewList(const QString& name, const QString& accessibleName);

    // A choice without a button (-1, none yet) leaves the group as it is.
    static void CheckButton(QButtonGroup* group, int index);
    static void EnableButtons(QButtonGroup* group, bool enabled);

    WindowState& state_;

  private:
    QWidget* mainWindow_;
    ShowInField showInField_;
};

}  // namespace vek
