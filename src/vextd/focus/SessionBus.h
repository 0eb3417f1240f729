#pragma once

// The driver's own connection to the session bus (libdbus, private, without a main loop of its
// own: the driver's loop waits on its descriptor), for the focus sources that a desktop's shell
// calls back: KWin's script and GNOME Shell's extension. Every call it makes has a timeout, so a
// hung bus or peer never hangs the driver; what a peer says reaches the log escaped and bounded.

#include <functional>
#include <memory>
#include <string>

struct DBusConnection;
struct DBusMessage;

namespace vext {

class SessionBus {
public:
    struct MessageUnref {
        void operator()(DBusMessage* p) const;
    };
    using Message = std::unique_ptr<DBusMessage, MessageUnref>;

    // Connects and says hello. Null with the reason ("no session bus (...)").
    static std::unique_ptr<SessionBus> Connect(std::string* pWhyNot);
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    DBusConnection* Connection() const { return m_pConnection; }
    const std::string& UniqueName() const { return m_strUnique; }
    // Readable when messages came.
    int Fd() const;

    // Sends a call (taken over; null means out of memory) and waits up to nTimeoutMs for its
    // answer: the reply, or null with the reason.
    Message Call(DBusMessage* pCall, int nTimeoutMs, std::string* pError);
    // Asks the bus itself (org.freedesktop.DBus) a method with one string argument, or none.
    Message AskBus(const char* pszMethod, const std::string& argument, std::string* pError);
    // Follows who owns a name: its changes come as NameOwnerChanged signals (OwnerChange reads
    // them), and *pOwner is its owner now, empty when it has none. False when the bus would not.
    bool FollowOwner(const std::string& name, std::string* pOwner, std::string* pError);
    // Takes a well-known name for this connection alone. False, with the reason, when another
    // connection has it.
    bool OwnName(const std::string& name, std::string* pError);

    // Reads what is there and writes what waits, never blocking, and hands every message that
    // came to handle. A bus that is not taking what is written gets the rest on the next call.
    void Dispatch(const std::function<void(DBusMessage*)>& handle);
    // Answers a method call (unless it asked for none): empty, or the error with its reason.
    void Answer(DBusMessage* pCall, const char* pszError = nullptr, const char* pszWhy = nullptr);
    // Sends a call that wants no answer.
    void Send(DBusMessage* pCall);

    // Whether the message is the bus's word that name has a new owner (empty: none).
    static bool OwnerChange(DBusMessage* pMessage, const std::string& name, std::string* pNewOwner);
    // Whether the bus closed the connection.
    static bool IsDisconnect(DBusMessage* pMessage);
    // The sender of a message, empty when it has none.
    static std::string Sender(DBusMessage* pMessage);

private:
    explicit SessionBus(DBusConnection* pConnection);

    DBusConnection* m_pConnection;
    std::string m_strUnique;
};

} // namespace vext
