#include "tests/plugins/scripted/demo/DemoSettingsTab.h"

#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/card/CardSection.h"
#include "kit/widgets/settings/SettingsCheckBox.h"
#include "kit/widgets/settings/SettingsComboBox.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderValue.h"
#include "kit/widgets/settings/SharedValidators.h"
#include "kit/widgets/settings/UnsignedIntValidator.h"

#include <QAbstractSlider>
#include <QLineEdit>

DemoSettingsTab::DemoSettingsTab(QWidget* parent)
    : SettingsTab(parent)
{
    // The screenshot run finds the tab by this name to picture its whole column.
    setObjectName(QStringLiteral("demoSettingsTab"));
    buildStatus();
    buildNetwork();
    buildLevels();
    buildOptions();
    finishLayout();
}

void DemoSettingsTab::buildStatus()
{
    addSection(QStringLiteral("Software Information"));
    addTextRow(QStringLiteral("Software version:"), QStringLiteral("7.6.1"));
    addFirmwareUpdateRow(QStringLiteral("1.2"), QStringLiteral("1.3"), 1, true);
    addStatusButtonRow(QStringLiteral("Reference:"), QStringLiteral("Locked"),
                       QStringLiteral("Unlock"), true);
    addStatusButtonRow(QStringLiteral("Genlock:"), QStringLiteral("No reference"),
                       QStringLiteral("Retry"), false);
}

void DemoSettingsTab::buildNetwork()
{
    addSection(QStringLiteral("Network"));
    addLineEditRow(QStringLiteral("Name:"), 0)->setText(QStringLiteral("Demo converter"));
    addLineEditRow(QStringLiteral("IP address:"), 1)->setText(defaultIpAddress());
    QLineEdit* port = addLineEditRow(QStringLiteral("Port:"), 2);
    port->setValidator(sharedPortValidator());
    port->setText(QStringLiteral("8080"));
    addButtonRow(QStringLiteral("Address:"), QStringLiteral("Renew"));
    addCaptionedButtonRow(QStringLiteral("Settings:"), QStringLiteral("Reset"));
    auto* mode = static_cast<SettingsComboBox*>(addComboBoxRow(QStringLiteral("Mode:"), 180));
    mode->addItems({QStringLiteral("Automatic"), QStringLiteral("Manual")});
    mode->insertSeparator(2);
    mode->addItem(QStringLiteral("Off"));
}

void DemoSettingsTab::buildLevels()
{
    CardSection* levels = addSection(QStringLiteral("Output Levels"));
    addIconToRow(levels, QStringLiteral(":/Refresh"));
    QAbstractSlider* video = addSliderRow(QStringLiteral("Video:"), QStringLiteral("%1"));
    video->setRange(0, 255);
    video->setValue(128);
    const SliderWithValue chroma = addSliderPairRow(QStringLiteral("B-Y:"));
    chroma.slider->setRange(0, 255);
    chroma.value->setSlider(chroma.slider, QStringLiteral("%1 steps"));
    // The link bracket stands right of the units, where a default button would be.
    QWidget* left = addEditableSliderRow(QStringLiteral("Ch 1:"), -20, 10, 1, QStringLiteral("dB"),
                                         false, 0);
    QWidget* right = addEditableSliderRow(QStringLiteral("Ch 2:"), -20, 10, 1, QStringLiteral("dB"),
                                          false, 0);
    gainLink_ = linkSliders(left, right, 1);
    addEditableSliderRow(QStringLiteral("Delay:"), 0, 100, 0, QStringLiteral("ms"), true, 50);

    suppressRowSpacing();
    addCheckBoxRow(QString(), QStringLiteral("Clip video output to legal levels"));
    createTextBlock(QStringLiteral("The output may then differ from the input."), {}, true);
    restoreRowSpacing();

    outputMode_ = RadioGroup(beginRadioGroup(QStringLiteral("Set SDI output to:")));
    addRadioButton(QStringLiteral("Extender mode"), 0);
    addRadioButton(QStringLiteral("Video mode"), 1);
    fitRadioGroupHeight();
    outputMode_.setCheckedId(1);
}

void DemoSettingsTab::buildOptions()
{
    addSection(QStringLiteral("Options"));
    QVector<SettingsCheckBox*> tally(1);
    addCheckBoxGrid(QStringLiteral("Tally:"), tally, {QStringLiteral("Show tally on video output")});

    beginCheckBoxGrid(QStringLiteral("Outputs:"));
    addGridCheckBox(QStringLiteral("SDI"), QStringLiteral("HDMI"));
    addGridCheckBox(QStringLiteral("Analog"), QString());
    endCheckBoxGrid();

    OptionList levels;
    levels.add(QStringLiteral("Level A"), 1);
    levels.add(QStringLiteral("Level B"), 0);
    levelChoice_ = RadioGroup(addOptionRadioGrid(levels, QStringLiteral("3G SDI Output:")));
    levelChoice_.setCheckedId(1);

    beginRadioGrid(QStringLiteral("SD aspect:"));
    addGridRadioButton(QStringLiteral("4:3"), 0);
    addGridRadioButton(QStringLiteral("16:9"), 1);
    endRadioGrid();

    ImageOptionList pictures;
    pictures.add(loadIconPixmap(QStringLiteral(":/HD_To_SDLetterbox")), QStringLiteral("Letterbox"), 3);
    pictures.add(loadIconPixmap(QStringLiteral(":/HD_To_SDAnamorphic")), QStringLiteral("Anamorphic"), 1);
    pictures.add(loadIconPixmap(QStringLiteral(":/HD_To_SDCenterCut")), QStringLiteral("Center Cut"), 2);
    downconversion_ = RadioGroup(addImageOptionGroup(pictures, QStringLiteral("Downconversion:")));
    downconversion_.setCheckedId(3);

    addSeparator(LightSeparator);
    addImageOptionGroup(pictures, QString());
    addFlatImageOptionGrid(pictures.images, pictures.values, QStringList(), nullptr,
                           uncaptionedImageGroupSpec());
    createTextBlock(QStringLiteral("Based on the current DIP switch setting."), pictures.images, false);
}
