#include "shell/AddByIpAddressDialog.h"

#include "kit/widgets/BusyButton.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/settings/IpAddressValidator.h"
#include "shell/DialogLineEdit.h"
#include "shell/ShellBranding.h"

#include <QLabel>

namespace {

constexpr int kWidth = 390;
constexpr int kTitleHeight = 40;
constexpr int kTitleRadius = 10;
constexpr int kMargin = 30;
constexpr int kGap = 20;
constexpr int kLabelWidth = 126;
constexpr int kLabelHeight = 28;
constexpr int kMessageHeight = 33;
constexpr int kButtonWidth = 114;
constexpr int kButtonHeight = 28;

QWidget* row(QWidget* parent, QHBoxLayout** layout)
{
    auto* widget = new QWidget(parent);
    widget->setFixedWidth(kWidth);
    *layout = new TightHBoxLayout(widget);
    return widget;
}

QLabel* textLabel(const QString& text, Qt::Alignment alignment, QWidget* parent)
{
    QLabel* label = createStyledLabel(3, kitColourText(), parent);
    label->setText(text);
    label->setAlignment(alignment);
    return label;
}

} // namespace

AddByIpAddressDialog::AddByIpAddressDialog(QWidget* parent) : VantorelDialog(parent)
{
    QFrame* content = panel();
    content->setFixedWidth(kWidth);
    auto* layout = new TightVBoxLayout(content);

    QLabel* title = createStyledLabel(1, kitColourText(), content);
    title->setText(brandingAddDeviceText());
    title->setAlignment(Qt::AlignCenter);
    title->setFixedHeight(kTitleHeight);
    title->setStyleSheet(QStringLiteral("QFrame { background: %1; border: none; border-top-right-radius: %2; "
                                        "border-top-left-radius: %2; }")
                             .arg(colourToHex(kitColourLightFill()))
                             .arg(kTitleRadius));
    layout->addWidget(title);
    auto* line = new QWidget(content);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("QWidget { background: %1; }").arg(colourToHex(kitColourBorder())));
    layout->addWidget(line);
    layout->addSpacing(kMargin);

    QHBoxLayout* h = nullptr;
    inputRow_ = row(content, &h);
    QLabel* addressLabel = textLabel(tr("IP address:"), Qt::AlignRight | Qt::AlignVCenter, inputRow_);
    addressLabel->setFixedSize(kLabelWidth, kLabelHeight);
    h->addWidget(addressLabel);
    h->addSpacing(kGap);
    address_ = new DialogLineEdit(inputRow_);
    address_->setValidator(new IpAddressValidator(address_));
    address_->setText(tr("0.0.0.0"));
    h->addWidget(address_);
    h->addSpacing(kMargin);
    connect(address_, &QLineEdit::textChanged, this, &AddByIpAddressDialog::checkAddressValid);
    layout->addWidget(inputRow_);

    busyRow_ = row(content, &h);
    h->addStretch();
    QLabel* checking = textLabel(tr("Checking address..."), Qt::AlignCenter, busyRow_);
    checking->setFixedHeight(kMessageHeight);
    h->addWidget(checking);
    h->addSpacing(kGap);
    busyButton_ = new BusyButton(busyRow_);
    busyButton_->setBusy(false);
    h->addWidget(busyButton_);
    h->addStretch();
    connect(busyButton_, &QAbstractButton::clicked, this, &AddByIpAddressDialog::addCancelled);
    layout->addWidget(busyRow_);

    notFoundRow_ = row(content, &h);
    h->addStretch();
    QLabel* notFound = textLabel(brandingNoDeviceText(), Qt::AlignCenter, notFoundRow_);
    notFound->setFixedHeight(kMessageHeight);
    h->addWidget(notFound);
    h->addStretch();
    layout->addWidget(notFoundRow_);
    layout->addSpacing(kMargin);

    buttonRow_ = row(content, &h);
    h->addStretch();
    cancelButton_ = new CardPushButton(tr("Cancel"), buttonRow_, kButtonWidth, kButtonHeight);
    h->addWidget(cancelButton_);
    h->addSpacing(kGap);
    addButton_ = new CardPushButton(tr("Add"), buttonRow_, kButtonWidth, kButtonHeight);
    h->addWidget(addButton_);
    h->addSpacing(kMargin);
    connect(cancelButton_, &QPushButton::clicked, this, &AddByIpAddressDialog::addCancelled);
    connect(addButton_, &QPushButton::clicked, this, &AddByIpAddressDialog::addDevice);
    layout->addWidget(buttonRow_);

    closeRow_ = row(content, &h);
    h->addStretch();
    closeButton_ = new CardPushButton(tr("Close"), closeRow_, kButtonWidth, kButtonHeight);
    h->addWidget(closeButton_);
    h->addSpacing(kMargin);
    connect(closeButton_, &QPushButton::clicked, this, &AddByIpAddressDialog::onCloseClicked);
    layout->addWidget(closeRow_);
    layout->addSpacing(kMargin);

    setBusy(Input);
    content->setFixedHeight(content->sizeHint().height());
    centrePanel();
}

QString AddByIpAddressDialog::address() const
{
    return address_->text();
}

void AddByIpAddressDialog::setBusy(int state)
{
    if (state != Input && state != Checking && state != NotFound)
        return;
    inputRow_->setVisible(state == Input);
    busyRow_->setVisible(state == Checking);
    notFoundRow_->setVisible(state == NotFound);
    buttonRow_->setVisible(state == Input);
    closeRow_->setVisible(state != Input);
    busyButton_->setBusy(state == Checking);
}

void AddByIpAddressDialog::checkAddressValid()
{
    QString text = address_->text();
    int position = text.size();
    addButton_->setEnabled(address_->validator()->validate(text, position) == QValidator::Acceptable);
}

void AddByIpAddressDialog::onCloseClicked()
{
    emit closeClicked();
    hide();
    setBusy(Input);
}
