#pragma once

#include "plugins/converters/settings/ConverterConnection.h"
#include "tests/plugins/converters/settings/SettingsFakeConverter.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

namespace settingstest {

// A fake converter and a connection to it, for building pages and tabs.
struct Bench {
    explicit Bench(std::uint16_t productId = 0xBD2E)
        : device(new SettingsFakeConverter(productId)), connection(nullptr, device)
    {
    }
    ~Bench() { device->release(); }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    SettingsFakeConverter* device;
    ConverterConnection connection;
};

// As a user drags a slider: the value changes with signals on.
inline void drag(QAbstractSlider* slider, int value)
{
    ASSERT_NE(slider, nullptr);
    slider->setValue(value);
}

// As a user clicks the button of that id.
inline void clickId(QButtonGroup* group, int id)
{
    ASSERT_NE(group, nullptr);
    QAbstractButton* button = group->button(id);
    ASSERT_NE(button, nullptr) << "no button " << id;
    button->click();
}

// Runs the event loop until done answers true or timeoutMs have passed; answers done().
template <typename Predicate>
bool waitFor(Predicate done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    return done();
}

} // namespace settingstest
