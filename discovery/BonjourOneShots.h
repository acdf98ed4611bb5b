#pragma once

#include <QObject>
#include <QSharedPointer>

#include <functional>

namespace TWG {

// Ends at once every one-shot resolve and look-up of the calling thread, pending or finished and
// awaiting its deferred delete: no callback runs any more, and each gives its engine use back.
// The application object's destruction calls it, so that no one-shot holds the engine into the
// program's static destruction.
void endBonjourOneShots();

namespace detail {

// Every one-shot alive, with how to end it at once. A pending one holds a use of the engine,
// and a finished one awaiting its deferred delete still does: left at the program's end, the
// engine's event thread would outlive the statics that own it.
void addOneShot(QObject* oneShot, std::function<void()> endNow);
void removeOneShot(QObject* oneShot);
// While endBonjourOneShots ends this thread's one-shots: no event loop runs any more.
bool endingOneShots();

// A one-shot's reference to itself: its last release deletes it later, or at once while the
// one-shots end.
template <typename T>
QSharedPointer<T> makeSelfOwned(T* object)
{
    return QSharedPointer<T>(object, [](T* o) {
        if (endingOneShots())
            delete o;
        else
            o->deleteLater();
    });
}

} // namespace detail
} // namespace TWG
