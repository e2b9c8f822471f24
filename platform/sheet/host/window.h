// The workbook program's window over the in-process program state.
#pragma once

#include <QAbstractTableModel>
#include <QMainWindow>
#include <memory>
#include <vector>

#include "platform/sheet/client.h"

class QLabel;
class QTabWidget;

namespace sheet::host {

// One sheet shown as a read-only table, rows and columns numbered as the
// sheet numbers them (columns lettered).
class SheetModel : public QAbstractTableModel {
public:
    explicit SheetModel(std::shared_ptr<const Sheet> sheet, QObject* parent = nullptr)
        : QAbstractTableModel(parent), sheet_(std::move(sheet)) {}
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::shared_ptr<const Sheet> sheet_;
};

class WorkbookWindow : public QMainWindow {
public:
    explicit WorkbookWindow(LocalApplication& app);
    // Brings the tabs and the window's visibility in line with the program.
    void Sync();
    // Opens the files named when the program was started; the ones that
    // cannot be opened are named with the reason in a notice at the top of
    // the window (its label is the child named "notice"), which stays until
    // the user dismisses it.  Returns the reasons.
    QStringList OpenFiles(const QStringList& paths);

private:
    void OpenFromMenu();
    void CloseCurrent();
    LocalApplication& app_;
    QTabWidget* books_ = nullptr;
    QWidget* noticeBar_ = nullptr;
    QLabel* notice_ = nullptr;
    std::vector<std::shared_ptr<Workbook>> shown_;
    bool syncing_ = false;
};

// The letters of a 1-based column number ("A", "Z", "AA" ...).
QString ColumnLetters(int col);

}  // namespace sheet::host
