#include "platform/sheet/bus/service.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QMetaObject>
#include <algorithm>
#include <thread>
#include <utility>

#include "platform/bus/connection.h"

namespace sheet::bus {

ApplicationService::ApplicationService(LocalApplication& app, QObject* parent, StartRead start)
    : QObject(parent), app_(app), guard_(std::make_shared<ReadGuard>()), start_(std::move(start)) {
    guard_->service = this;
    if (!start_) start_ = [](std::function<void()> read) { std::thread(std::move(read)).detach(); };
}

ApplicationService::~ApplicationService() {
    std::lock_guard<std::mutex> lock(guard_->mutex);
    guard_->service = nullptr;
}

bool ApplicationService::Publish(QString* error) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error) *error = "no session bus: " + bus.lastError().message();
        return false;
    }
    sessionbus::NeverPauseReading(bus);
    if (!bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots)) {
        if (error) *error = "cannot publish the object: " + bus.lastError().message();
        return false;
    }
    if (!bus.registerService(kService)) {
        bus.unregisterObject(kPath);
        if (error) *error = QString("the name %1 is taken (is the workbook program running already?)").arg(kService);
        return false;
    }
    return true;
}

void ApplicationService::Refuse(const QString& name, const QString& text) {
    sendErrorReply(name, sessionbus::Shortened(text, 1000));
}

void ApplicationService::Open(const QString& path) {
    if (path.isEmpty()) {
        Refuse(QDBusError::errorString(QDBusError::InvalidArgs), "No file name given");
        return;
    }
    if (path.size() > kMaxPathBytes || path.toUtf8().size() > kMaxPathBytes) {
        Refuse(QDBusError::errorString(QDBusError::LimitsExceeded),
               QString("A file name is at most %1 bytes long").arg(kMaxPathBytes));
        return;
    }
    // A workbook read and waiting for an earlier Open counts too: no more
    // than kMaxReads workbooks are held aside at once.
    const size_t reads = static_cast<size_t>(std::count_if(waiting_.begin(), waiting_.end(), [](const Waiting& w) { return w.open; }));
    if (reads >= kMaxReads) {
        Refuse(QDBusError::errorString(QDBusError::LimitsExceeded),
               QString("the workbook program is already reading %1 workbooks; try again when they are open").arg(reads));
        return;
    }
    if (!RoomToWait()) return;
    const uint64_t id = nextId_++;
    // The worker holds only the file name and the guard: a read may outlive
    // the service (the window closed meanwhile), and then nothing is posted.
    auto read = [guard = guard_, id, file = path.toStdString()]() {
        std::shared_ptr<Workbook> book;
        std::string error;
        try {
            book = ReadWorkbook(file);
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = "Cannot open \"" + file + "\"";
        }
        std::lock_guard<std::mutex> lock(guard->mutex);
        if (!guard->service) return;
        ApplicationService* service = guard->service;
        QMetaObject::invokeMethod(
            service, [service, id, book = std::move(book), error = std::move(error)]() mutable { service->Opened(id, std::move(book), error); },
            Qt::QueuedConnection);
    };
    try {
        start_(std::move(read));
    } catch (const std::exception& e) {
        Refuse(QDBusError::errorString(QDBusError::Failed), QString("The workbook cannot be read now: %1").arg(e.what()));
        return;
    }
    setDelayedReply(true);
    waiting_.push_back(Waiting{id, true, false, nullptr, {}, message(), connection()});
}

void ApplicationService::Opened(uint64_t id, std::shared_ptr<Workbook> book, const std::string& error) {
    auto it = std::find_if(waiting_.begin(), waiting_.end(), [id](const Waiting& w) { return w.id == id; });
    if (it == waiting_.end()) return;
    it->read = true;
    it->book = std::move(book);
    it->error = error;
    TakeEffect();
}

void ApplicationService::TakeEffect() {
    while (!waiting_.empty() && (!waiting_.front().open || waiting_.front().read)) {
        Waiting call = std::move(waiting_.front());
        waiting_.pop_front();
        if (!call.open) {
            app_.CloseWorkbooks();
            call.bus.send(call.call.createReply());
        } else if (call.book) {
            app_.Install(std::move(call.book));
            call.bus.send(call.call.createReply());
        } else {
            call.bus.send(call.call.createErrorReply(QDBusError::errorString(QDBusError::Failed),
                                                     sessionbus::Shortened(QString::fromStdString(call.error), 1000)));
        }
    }
}

bool ApplicationService::RoomToWait() {
    if (waiting_.size() < kMaxWaiting) return true;
    Refuse(QDBusError::errorString(QDBusError::LimitsExceeded),
           QString("the workbook program has %1 calls waiting for a workbook being read; try again when they are answered")
               .arg(waiting_.size()));
    return false;
}

void ApplicationService::Close() {
    // With nothing being read it takes effect at once; otherwise after the
    // Opens before it.
    if (waiting_.empty()) {
        app_.CloseWorkbooks();
        return;
    }
    if (!RoomToWait()) return;
    setDelayedReply(true);
    waiting_.push_back(Waiting{nextId_++, false, false, nullptr, {}, message(), connection()});
}

QString ApplicationService::ActiveWorkbook() { return QString::fromStdString(app_.ActiveWorkbook()); }

uint ApplicationService::ActiveSheetParts(qulonglong& bytes) {
    bytes = 0;
    const QString caller = message().service();
    transfers_.erase(std::remove_if(transfers_.begin(), transfers_.end(), [&](const Transfer& t) { return t.caller == caller; }),
                     transfers_.end());
    try {
        auto sheet = app_.ActiveSheet();
        if (!sheet) return 0;
        std::shared_ptr<const std::vector<uint8_t>> shared;
        for (const Transfer& t : transfers_)
            if (t.sheet.lock() == sheet) shared = t.bytes;
        if (!shared) shared = std::make_shared<const std::vector<uint8_t>>(EncodeSheet(*sheet));
        const std::vector<uint8_t>& encoded = *shared;
        if (encoded.size() > kMaxSheetBytes) {
            Refuse(QDBusError::errorString(QDBusError::LimitsExceeded),
                   QString("The sheet \"%1\" is too large to send: %2 MiB of cells, beyond the limit of %3 MiB")
                       .arg(QString::fromStdString(sheet->name))
                       .arg(encoded.size() >> 20)
                       .arg(kMaxSheetBytes >> 20));
            return 0;
        }
        if (transfers_.size() >= kMaxTransfers) transfers_.pop_front();
        bytes = encoded.size();
        transfers_.push_back({caller, std::move(shared), sheet});
        return static_cast<uint>(SheetParts(bytes));
    } catch (const std::exception& e) {
        // Out of memory among them: the program goes on.
        Refuse(QDBusError::errorString(QDBusError::Failed), QString("The sheet cannot be sent: %1").arg(e.what()));
        return 0;
    }
}

QByteArray ApplicationService::ActiveSheetPart(uint index) {
    const QString caller = message().service();
    auto it = std::find_if(transfers_.begin(), transfers_.end(), [&](const Transfer& t) { return t.caller == caller; });
    if (it == transfers_.end()) {
        Refuse(QDBusError::errorString(QDBusError::Failed), "No sheet is being sent to this caller: ask for ActiveSheetParts first");
        return {};
    }
    const std::vector<uint8_t>& bytes = *it->bytes;
    const size_t parts = SheetParts(bytes.size());
    if (index >= parts) {
        Refuse(QDBusError::errorString(QDBusError::InvalidArgs), QString("The sheet has parts 0 to %1, not %2").arg(parts - 1).arg(index));
        return {};
    }
    const size_t from = size_t(index) * kSheetPartBytes;
    const size_t n = std::min<size_t>(kSheetPartBytes, bytes.size() - from);
    QByteArray part(reinterpret_cast<const char*>(bytes.data() + from), static_cast<qsizetype>(n));
    if (index + 1 == parts) transfers_.erase(it);
    return part;
}

bool ApplicationService::IsVisible() { return app_.Visible(); }

void ApplicationService::SetVisible(bool visible) { app_.Visible(visible); }

}  // namespace sheet::bus
