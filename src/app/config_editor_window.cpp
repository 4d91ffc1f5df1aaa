#include "config_editor_window.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPointer>
#include <QRadioButton>

#include "settings/settings_store.h"
#include "window_placement.h"

namespace vek {

ConfigEditorWindow::ConfigEditorWindow(QWidget* mainWindow, WindowState& state,
                                       ShowInField showInField, const QString& title)
    : ConfigEditor(mainWindow),
      state_(state),
      mainWindow_(mainWindow),
      showInField_(std::move(showInField)) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
}

void ConfigEditorWindow::CloseQuietly() {
    hide();
    deleteLater();
}

void ConfigEditorWindow::reject() {
    const QPointer<ConfigEditorWindow> alive(this);
    emit closedByUser();
    // The main window may already have closed it in answer.
    if (alive) {
        ConfigEditor::reject();
    }
}

void ConfigEditorWindow::ShowBesideMainWindow(DialogUnits offset) {
    adjustSize();
    PlaceBeside(*this, *mainWindow_, offset);
    show();
}

void ConfigEditorWindow::Publish(std::string& sharedText, const std::string& word,
                                 std::initializer_list<const char*> keys) {
    sharedText = word;
    for (const char* key : keys) {
        state_.settings.WriteSettingText(SETTINGS_SECTION, key, word);
    }
    showInField_(QString::fromStdString(word));
}

QButtonGroup* ConfigEditorWindow::AddRadioButtons(QGridLayout* grid, int firstRow,
                                                  const QStringList& captions, const QString& name,
                                                  int columns) {
    auto* group = new QButtonGroup(this);
    group->setObjectName(name);
    for (int index = 0; index < captions.size(); ++index) {
        auto* button = new QRadioButton(captions[index]);
        button->setObjectName(name + QString::number(index));
        group->addButton(button, index);
        grid->addWidget(button, firstRow + index / columns, index % columns);
    }
    connect(group, &QButtonGroup::idClicked, this, [this] { Apply(); });
    return group;
}

QButtonGroup* ConfigEditorWindow::AddRadioGroup(QGridLayout* grid, int row, int column,
                                                const QString& title, const QStringList& captions,
                                                const QString& name, int columns) {
    auto* box = new QGroupBox(title);
    box->setObjectName(name + "Group");
    grid->addWidget(box, row, column);
    return AddRadioButtons(new QGridLayout(box), 0, captions, name, columns);
}

QCheckBox* ConfigEditorWindow::NewCheckBox(const QString& caption, const QString& name) {
    auto* box = new QCheckBox(caption);
    box->setObjectName(name);
    connect(box, &QCheckBox::clicked, this, [this] { Apply(); });
    return box;
}

QComboBox* ConfigEditorWindow::NewList(const QString& name, const QString& accessibleName) {
    auto* list = new QComboBox;
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    connect(list, &QComboBox::activated, this, [this] { Apply(); });
    return list;
}

void ConfigEditorWindow::CheckButton(QButtonGroup* group, int index) {
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
    }
}

void ConfigEditorWindow::EnableButtons(QButtonGroup* group, bool enabled) {
    for (QAbstractButton* button : group->buttons()) {
        button->setEnabled(enabled);
    }
}

}  // namespace vek
