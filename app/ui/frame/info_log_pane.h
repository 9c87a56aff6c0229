// CInfoLogPane: the "信息栏" pane, the information log list (control 2009). Rows (level icon,
// time, text coloured by level) are appended by the application services and removed all at
// once. The pane clears, saves (XML of "item" elements in GB18030) and opens the settings
// dialog 20020; a right click asks for the "InfoWnd" context menu.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "services/host.h"

class InfoLogModel;
class QTreeView;

class CInfoLogPane : public QWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 2009;

    explicit CInfoLogPane(QWidget* parent = nullptr);
    ~CInfoLogPane() override;

    // Appends a row at the end and scrolls to it.
    void AppendRow(const name_share::LogRow& row);
    // Removes every row.
    void Clear();
    int RowCount() const;
    // Writes the rows to `path`; false (nothing else changes) when the file cannot be written.
    bool SaveTo(const QString& path) const;
    // The save command: asks for a file ("保存信息", "Text(*.txt)") and saves it with
    // SaveReporting; cancelling does nothing.
    void SaveWithDialog();
    // Saves to `path`; a file that cannot be written is reported in a warning box.
    bool SaveReporting(const QString& path);
    // The settings command: runs dialog 20020 on the application's log switches.
    void ShowSettings();
    // Re-titles the columns after a language change.
    void RetranslateUi();

    QTreeView* List() const { return list_; }
    InfoLogModel* Model() const { return model_; }

signals:
    // Right click on the list: the main window shows sub-menu "InfoWnd" of menu 20003.
    void contextMenuRequested(QPoint globalPos);

private:
    InfoLogModel* model_ = nullptr;
    QTreeView* list_ = nullptr;
};
