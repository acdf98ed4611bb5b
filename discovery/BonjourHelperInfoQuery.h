#pragma once

#include "kit/framework/BonjourInfo.h"

#include <QObject>
#include <QSharedPointer>

#include <functional>

namespace TWG {

// Hands the outcome of one unicast query (BonjourInfoQuery) to a callback on this object's
// thread, once: the query reports on its own threads, at every time-out and at its reply, and
// each report is queued here by name with a reference that keeps this object alive.
class BonjourHelperInfoQuery : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(bool complete, const BonjourInfo& result)>;

    explicit BonjourHelperInfoQuery(Callback callback, QObject* parent = nullptr);
    ~BonjourHelperInfoQuery() override;

public slots:
    // The first call is handed on; later ones are ignored.
    void onBonjourInfoQueryReceived(QSharedPointer<BonjourHelperInfoQuery> self, bool complete, BonjourInfo result);

private:
    Callback callback_;
    bool delivered_ = false;
};

} // namespace TWG
