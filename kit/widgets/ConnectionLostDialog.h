#pragma once

#include "kit/widgets/CommonDialog.h"

// What a product card shows when its device disappears.
class ConnectionLostDialog : public CommonDialog {
    Q_OBJECT
public:
    explicit ConnectionLostDialog(QWidget* parent);

    // Reason 0: the product was disconnected; other reasons change nothing.
    void setDisconnected(int reason);
};
