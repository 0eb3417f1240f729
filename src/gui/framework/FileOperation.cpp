#include "gui/framework/FileOperation.h"

#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

namespace vext {

namespace {

int g_nRunning = 0;

std::vector<std::function<void()>>& Waiting() {
    static std::vector<std::function<void()>> waiting;
    return waiting;
}

void RunWaiting() {
    // One may start a file operation of its own; the rest then wait for that one.
    while (g_nRunning == 0 && !Waiting().empty()) {
        std::function<void()> fn = std::move(Waiting().front());
        Waiting().erase(Waiting().begin());
        fn();
    }
}

} // namespace

FileOperation::FileOperation() {
    ++g_nRunning;
}

FileOperation::~FileOperation() {
    // Not from here: the caller of the finished operation still uses what a request could free.
    if (--g_nRunning == 0 && !Waiting().empty() && QCoreApplication::instance()) {
        QTimer::singleShot(0, QCoreApplication::instance(), &RunWaiting);
    }
}

bool FileOperation::IsRunning() {
    return g_nRunning > 0;
}

void FileOperation::WhenFinished(std::function<void()> fn) {
    if (g_nRunning == 0) {
        fn();
        return;
    }
    Waiting().push_back(std::move(fn));
}

} // namespace vext
