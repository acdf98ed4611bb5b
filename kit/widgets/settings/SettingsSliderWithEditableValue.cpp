#include "kit/widgets/settings/SettingsSliderWithEditableValue.h"

#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderLabel.h"
#include "kit/widgets/settings/UnsignedIntValidator.h"

#include <QDoubleValidator>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace {
constexpr int kEditorWidth = 55;
constexpr int kEditorHeight = 28;
constexpr int kEditorSpacing = 12;
constexpr int kUnitsSpacing = 6;
constexpr int kDefaultSpacing = 30;
constexpr int kHeight = 35;
constexpr int kDefaultImageFaded = 3; // 40 %
const char kRefreshImage[] = ":/Refresh";

QString fixedText(double value, int decimals)
{
    return QStringLiteral("%1").arg(value, 0, 'f', decimals);
}

// The number in the text; ok false when there is none.
double readNumber(const QString& text, bool* ok)
{
    return kitNumberLocale().toDouble(text.trimmed(), ok);
}
}

// ---- SettingsSliderLineEdit ---------------------------------------------------------------

SettingsSliderLineEdit::SettingsSliderLineEdit(QWidget* parent, QAbstractSlider* slider)
    : SettingsLineEdit(parent)
    , slider_(slider)
{
    setShowStatus(false);
    setFixedSize(kEditorWidth, kEditorHeight);
}

void SettingsSliderLineEdit::commitText()
{
    const auto* numbers = qobject_cast<const QDoubleValidator*>(validator());
    const int decimals = numbers ? numbers->decimals() : 0;
    const QString current = text();
    bool ok = false;
    const double number = readNumber(current, &ok);

    QString replacement;
    if (current.isEmpty() || current == QLatin1String(".") || current == QLatin1String("-")
        || !ok) {
        replacement = fixedText(scaleDown(slider_->value(), decimals), decimals);
    } else if (numbers && number > numbers->top()) {
        replacement = fixedText(numbers->top(), decimals);
    } else if (numbers && number < numbers->bottom()) {
        replacement = fixedText(numbers->bottom(), decimals);
    } else {
        return;
    }
    const QSignalBlocker blocker(this);
    setText(replacement);
}

void SettingsSliderLineEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        commitText();
    SettingsLineEdit::keyPressEvent(event);
}

void SettingsSliderLineEdit::focusOutEvent(QFocusEvent* event)
{
    commitText();
    SettingsLineEdit::focusOutEvent(event);
}

void SettingsSliderLineEdit::onReturnPressed()
{
    SettingsLineEdit::onReturnPressed();
}

void SettingsSliderLineEdit::onValueChanged(int /*value*/) {}

void SettingsSliderLineEdit::userDoneEdit() {}

// ---- SettingsSliderWithEditableValue ------------------------------------------------------

SettingsSliderWithEditableValue::SettingsSliderWithEditableValue(QWidget* parent)
    : QFrame(parent)
{
    auto* layout = new TightHBoxLayout(this);

    slider_ = new SettingsSlider(this);
    layout->addWidget(slider_);
    layout->addSpacing(kEditorSpacing);

    editor_ = new SettingsSliderLineEdit(this, slider_);
    validator_ = new QDoubleValidator(minimum_, maximum_, decimals_, this);
    validator_->setLocale(kitNumberLocale());
    editor_->setValidator(validator_);
    layout->addWidget(editor_);

    unitsFrame_ = new QFrame(this);
    auto* unitsLayout = new TightHBoxLayout(unitsFrame_);
    unitsLayout->addSpacing(kUnitsSpacing);
    unitsLabel_ = new SettingsSliderLabel(unitsFrame_);
    unitsLabel_->setFixedWidth(0);
    unitsLayout->addWidget(unitsLabel_);
    unitsFrame_->hide();
    layout->addWidget(unitsFrame_, 0, Qt::AlignLeft);

    defaultFrame_ = new QFrame(this);
    auto* defaultLayout = new TightHBoxLayout(defaultFrame_);
    defaultLayout->addSpacing(kDefaultSpacing);
    const QPixmap refresh = loadIconPixmap(QString::fromLatin1(kRefreshImage));
    defaultButton_ = new FlatImageButton(fadedPixmap(refresh, kDefaultImageFaded), defaultFrame_);
    defaultButton_->setHoverPixmap(refresh);
    defaultButton_->setCheckedPixmap(refresh);
    defaultButton_->setEnabled(false);
    defaultLayout->addWidget(defaultButton_);
    defaultFrame_->hide();
    layout->addWidget(defaultFrame_);

    connect(slider_, &QAbstractSlider::valueChanged, this,
            &SettingsSliderWithEditableValue::onSliderValueChanged);
    connect(slider_, &QAbstractSlider::actionTriggered, this,
            &SettingsSliderWithEditableValue::actionTriggered);
    connect(editor_, &QLineEdit::editingFinished, this,
            &SettingsSliderWithEditableValue::onEditableValueChanged);
    connect(defaultButton_, &QAbstractButton::clicked, this,
            &SettingsSliderWithEditableValue::onDefaultClicked);

    setFixedHeight(kHeight);
    showValue(scaleDown(slider_->value(), decimals_));
}

void SettingsSliderWithEditableValue::recordChange(double value)
{
    previous_ = hasPrevious_ ? committed_ : value;
    hasPrevious_ = true;
    committed_ = value;
}

void SettingsSliderWithEditableValue::showValue(double value)
{
    const QSignalBlocker editorBlocker(editor_);
    editor_->setText(fixedText(value, decimals_));
    const QSignalBlocker sliderBlocker(slider_);
    slider_->setValue(scaleUpRounded(value, decimals_));
}

void SettingsSliderWithEditableValue::announce(double value)
{
    emit valueChanged(value);
    emit valueChanged();
}

void SettingsSliderWithEditableValue::announceValue()
{
    announce(currentValue());
}

double SettingsSliderWithEditableValue::currentValue() const
{
    bool ok = false;
    const double value = readNumber(editor_->text(), &ok);
    return ok ? value : 0.0;
}

void SettingsSliderWithEditableValue::onSliderValueChanged(int steps)
{
    const double value = scaleDown(steps, decimals_);
    {
        const QSignalBlocker blocker(editor_);
        editor_->setText(fixedText(value, decimals_));
    }
    recordChange(value);
    announce(value);
}

void SettingsSliderWithEditableValue::onEditableValueChanged()
{
    const double value = currentValue();
    // Return commits and then moves the focus on, which commits the same text again; a
    // commit that changes nothing must not become the previous value or reach listeners.
    if (hasPrevious_ && value == committed_)
        return;
    {
        const QSignalBlocker blocker(slider_);
        slider_->setValue(scaleUpRounded(value, decimals_));
    }
    recordChange(value);
    announce(value);
}

void SettingsSliderWithEditableValue::setValue(double value)
{
    const double bounded = value > maximum_ ? maximum_ : qMax(minimum_, value);
    showValue(bounded);
    recordChange(bounded);
    announce(bounded);
}

bool SettingsSliderWithEditableValue::shiftBy(double delta, double& overshoot)
{
    double target = currentValue() + delta;
    bool within = true;
    if (target > maximum_) {
        overshoot = target - maximum_;
        target = maximum_;
        within = false;
    } else if (target < minimum_) {
        overshoot = target - minimum_;
        target = minimum_;
        within = false;
    }
    setValue(target);
    return within;
}

void SettingsSliderWithEditableValue::setDecimals(int decimals)
{
    // The slider counts in steps of the old precision and the field shows the old number of
    // decimals, which the new validator may refuse: rescale both, keeping the value.
    const double value = currentValue();
    decimals_ = decimals;
    validator_->setDecimals(decimals);
    const QSignalBlocker blocker(slider_);
    slider_->setRange(lowestStep(), highestStep());
    showValue(qBound(minimum_, value, maximum_));
}

// A limit between two steps rounds to the step inside the range, so the slider cannot reach a
// value that the field and setValue refuse.
int SettingsSliderWithEditableValue::lowestStep() const
{
    const int step = scaleUpRounded(minimum_, decimals_);
    return scaleDown(step, decimals_) < minimum_ ? step + 1 : step;
}

int SettingsSliderWithEditableValue::highestStep() const
{
    const int step = scaleUpRounded(maximum_, decimals_);
    return scaleDown(step, decimals_) > maximum_ ? step - 1 : step;
}

void SettingsSliderWithEditableValue::setMinimum(double minimum)
{
    minimum_ = minimum;
    validator_->setBottom(minimum);
    slider_->setMinimum(lowestStep());
}

void SettingsSliderWithEditableValue::setMaximum(double maximum)
{
    maximum_ = maximum;
    validator_->setTop(maximum);
    slider_->setMaximum(highestStep());
}

void SettingsSliderWithEditableValue::setUnits(const QString& text)
{
    unitsLabel_->setText(text);
    unitsLabel_->setFixedWidth(QFontMetrics(unitsLabel_->font()).horizontalAdvance(text));
    unitsFrame_->setVisible(!text.isEmpty());
}

void SettingsSliderWithEditableValue::setDefaultEnabled(bool enabled)
{
    defaultEnabled_ = enabled;
    defaultButton_->setEnabled(enabled);
    defaultFrame_->setVisible(enabled);
}

void SettingsSliderWithEditableValue::setDefaultValue(double value)
{
    defaultValue_ = value;
}

void SettingsSliderWithEditableValue::onDefaultClicked()
{
    // The default is given in displayed units, like every other value of this control.
    setValue(defaultValue_);
}
