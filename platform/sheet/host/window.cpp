#include "platform/sheet/host/window.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/runtime/conversions.h"

namespace sheet::host {

QString ColumnLetters(int col) {
    QString out;
    while (col > 0) {
        const int rem = (col - 1) % 26;
        out.prepend(QChar('A' + rem));
        col = (col - 1) / 26;
    }
    return out;
}

int SheetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(sheet_->LastRow(), 1);
}
int SheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(sheet_->LastCol(), 1);
}

QVariant SheetModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole) return {};
    const Cell* c = sheet_->Find(index.row() + 1, index.column() + 1);
    if (!c) return {};
    if (role == Qt::TextAlignmentRole) {
        return c->kind == Cell::Text ? QVariant(int(Qt::AlignLeft | Qt::AlignVCenter))
                                     : QVariant(int(Qt::AlignRight | Qt::AlignVCenter));
    }
    switch (c->kind) {
    case Cell::Number: return QString::fromStdString(vb::NumberToText(c->number));
    case Cell::Text: return QString::fromStdString(sheet_->Text(c->text));
    case Cell::Boolean: return c->number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Cell::Error: return QString::fromStdString(TextOfErrorCode(static_cast<int32_t>(c->number)));
    case Cell::Empty: break;
    }
    return {};
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    return orientation == Qt::Horizontal ? QVariant(ColumnLetters(section + 1)) : QVariant(section + 1);
}

WorkbookWindow::WorkbookWindow(LocalApplication& app) : app_(app) {
    setWindowTitle("sewersheet");
    resize(900, 600);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The notice: why files given at start could not be opened.
    noticeBar_ = new QWidget(central);
    noticeBar_->setAutoFillBackground(true);
    QPalette palette = noticeBar_->palette();
    palette.setColor(QPalette::Window, QColor(255, 236, 204));
    palette.setColor(QPalette::WindowText, Qt::black);
    noticeBar_->setPalette(palette);
    auto* bar = new QHBoxLayout(noticeBar_);
    notice_ = new QLabel(noticeBar_);
    notice_->setObjectName("notice");
    notice_->setWordWrap(true);
    notice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bar->addWidget(notice_, 1);
    auto* dismiss = new QToolButton(noticeBar_);
    dismiss->setText("Dismiss");
    bar->addWidget(dismiss, 0, Qt::AlignTop);
    connect(dismiss, &QToolButton::clicked, this, [this] {
        notice_->clear();
        noticeBar_->hide();
    });
    noticeBar_->hide();
    layout->addWidget(noticeBar_);
    books_ = new QTabWidget(central);
    books_->setDocumentMode(true);
    layout->addWidget(books_, 1);
    setCentralWidget(central);
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Open...", QKeySequence::Open, this, [this] { OpenFromMenu(); });
    file->addAction("&Close workbook", QKeySequence::Close, this, [this] { CloseCurrent(); });
    file->addSeparator();
    file->addAction("&Quit", QKeySequence::Quit, qApp, &QApplication::quit);
    connect(books_, &QTabWidget::currentChanged, this, [this](int book) {
        if (syncing_ || book < 0) return;
        auto* sheets = qobject_cast<QTabWidget*>(books_->widget(book));
        app_.Activate(book, sheets ? sheets->currentIndex() : -1);
    });
}

void WorkbookWindow::OpenFromMenu() {
    const QString path = QFileDialog::getOpenFileName(this, "Open workbook", QString(),
                                                      "Workbooks (*.xlsx *.xlsm *.xls);;All files (*)");
    if (path.isEmpty()) return;
    try {
        app_.OpenWorkbook(path.toStdString());
    } catch (const std::exception& e) {
        QMessageBox::warning(this, "sewersheet", QString::fromStdString(e.what()));
    }
}

QStringList WorkbookWindow::OpenFiles(const QStringList& paths) {
    QStringList problems;
    for (const QString& path : paths) {
        try {
            app_.OpenWorkbook(path.toStdString());
        } catch (const std::exception& e) {
            problems << QString::fromStdString(e.what());
        }
    }
    if (!problems.isEmpty()) {
        notice_->setText((problems.size() == 1 ? QStringLiteral("Could not open a workbook:\n")
                                               : QStringLiteral("Could not open %1 workbooks:\n").arg(problems.size())) +
                         problems.join('\n'));
        noticeBar_->show();
    }
    return problems;
}

void WorkbookWindow::CloseCurrent() { app_.Close(books_->currentIndex()); }

void WorkbookWindow::Sync() {
    syncing_ = true;
    const auto& books = app_.Workbooks();
    if (books != shown_) {
        while (books_->count() > 0) {
            QWidget* w = books_->widget(0);
            books_->removeTab(0);
            delete w;
        }
        for (size_t b = 0; b < books.size(); ++b) {
            auto* sheets = new QTabWidget;
            sheets->setTabPosition(QTabWidget::South);
            for (const auto& s : books[b]->sheets) {
                auto* view = new QTableView;
                view->setModel(new SheetModel(s, view));
                view->setEditTriggers(QAbstractItemView::NoEditTriggers);
                view->verticalHeader()->setDefaultSectionSize(22);
                sheets->addTab(view, QString::fromStdString(s->name));
            }
            connect(sheets, &QTabWidget::currentChanged, this, [this, sheets](int sheetIndex) {
                if (syncing_ || sheetIndex < 0) return;
                app_.Activate(books_->indexOf(sheets), sheetIndex);
            });
            books_->addTab(sheets, QString::fromStdString(books[b]->name));
        }
        shown_ = books;
    }
    const int active = app_.ActiveIndex();
    if (active >= 0 && active < books_->count()) {
        books_->setCurrentIndex(active);
        if (auto* sheets = qobject_cast<QTabWidget*>(books_->widget(active))) {
            sheets->setCurrentIndex(books[active]->activeSheet);
        }
        setWindowTitle(QString::fromStdString(books[active]->name) + " - sewersheet");
    } else {
        setWindowTitle("sewersheet");
    }
    if (app_.Visible() != isVisible()) setVisible(app_.Visible());
    if (app_.Visible()) {
        raise();
        activateWindow();
    }
    syncing_ = false;
}

}  // namespace sheet::host
