// The workbook program's side of the bus: the in-process program published
// under the names of names.h.  Calls with wrong arguments are refused by the
// bus layer; failures of a call come back as error replies.
#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sheet/bus/names.h"
#include "platform/sheet/client.h"

namespace sheet::bus {

class ApplicationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.sewerdesign.SewerSheet.Application")

public:
    // Starts a read of a workbook: by default on a thread of its own.  A test
    // may hold the reads and end them in an order of its choosing.
    using StartRead = std::function<void(std::function<void()> read)>;
    explicit ApplicationService(LocalApplication& app, QObject* parent = nullptr, StartRead start = {});
    // Reads still in flight end on their own and their workbooks are let go.
    ~ApplicationService() override;
    // Registers the object and takes the service name on the session bus;
    // false (with the reason) when the bus is missing or the name is taken.
    bool Publish(QString* error);

public Q_SLOTS:
    // Open and Close change which workbook is open: they take effect in the
    // order they come, each answered when it has.  Open reads the file on a
    // worker thread, so that the calls that only look (ActiveWorkbook, the
    // sheet, IsVisible) are answered meanwhile from the workbooks as they
    // stand; its workbook is installed when its read has ended and every
    // Open and Close that came before it has taken effect, so that a read
    // ending late never undoes a later call.  A Close that comes while a
    // read runs waits behind it.  At most kMaxReads Opens wait at once (read
    // or being read), and at most kMaxWaiting calls in all; a call beyond
    // them is refused.
    Q_SCRIPTABLE void Open(const QString& path);
    Q_SCRIPTABLE void Close();
    Q_SCRIPTABLE QString ActiveWorkbook();
    // The active sheet's used range in the byte form of EncodeSheet, sent
    // in parts (names.h): ActiveSheetParts encodes it for the caller and
    // gives the number of parts (0 when no workbook is open) and the bytes
    // in all; ActiveSheetPart(i) gives part i of what was encoded for that
    // caller, and the last part lets it go.  A caller asking again starts
    // over; a few callers' sheets are kept at most, the oldest let go first.
    Q_SCRIPTABLE uint ActiveSheetParts(qulonglong& bytes);
    Q_SCRIPTABLE QByteArray ActiveSheetPart(uint index);
    Q_SCRIPTABLE bool IsVisible();
    Q_SCRIPTABLE void SetVisible(bool visible);

private:
    // What is being sent to one caller.  Callers of the same sheet share
    // its byte form: a sheet is never held encoded more than once, however
    // many callers ask for it and never fetch its parts.
    struct Transfer {
        QString caller;
        std::shared_ptr<const std::vector<uint8_t>> bytes;
        std::weak_ptr<const Sheet> sheet;
    };
    static constexpr size_t kMaxTransfers = 4;
    static constexpr size_t kMaxReads = 2;
    static constexpr size_t kMaxWaiting = 16;
    // What a worker reaches the service through: the service lets go of it
    // when it ends, so that a read ending later posts to nothing.
    struct ReadGuard {
        std::mutex mutex;
        ApplicationService* service = nullptr;
    };
    // An Open or a Close that waits to take effect, with its call.
    struct Waiting {
        uint64_t id = 0;
        bool open = false;    // an Open (else a Close)
        bool read = false;    // an Open whose read has ended
        std::shared_ptr<Workbook> book;   // what it read (null: it failed)
        std::string error;
        QDBusMessage call;
        QDBusConnection bus;
    };
    // On the event loop's thread: keeps what the read gave, then lets the
    // calls that can take effect do so.
    void Opened(uint64_t id, std::shared_ptr<Workbook> book, const std::string& error);
    // Carries out and answers the waiting calls from the first one on, up
    // to the first Open still being read.
    void TakeEffect();
    // Refuses the current call when kMaxWaiting calls wait already.
    bool RoomToWait();
    // Sends an error reply; its text quotes no more than the start of a long name.
    void Refuse(const QString& name, const QString& text);

    LocalApplication& app_;
    std::deque<Transfer> transfers_;
    std::shared_ptr<ReadGuard> guard_;
    StartRead start_;
    std::deque<Waiting> waiting_;   // in the order the calls came
    uint64_t nextId_ = 0;
};

}  // namespace sheet::bus
