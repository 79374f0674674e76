// Shared pieces of the settings-dialog tests: a stand-in pricer window and
// a fixture that resets the shared settings and answers every box.
#pragma once

#include <gtest/gtest.h>

#include <QString>

#include "platform/dialog_show.h"
#include "platform/message_box.h"
#include "shared/mc_settings.h"
#include "shared/pde_settings.h"
#include "shared/pricer_link.h"

namespace settings_test {

// The parts of a pricer window the settings dialogs read.
class StubPricer : public tarvic::PricerLink {
public:
    explicit StubPricer(QString exercise = QStringLiteral("European"), int payoff = 0)
        : exercise(std::move(exercise)), payoff(payoff)
    {
    }
    QString exerciseText() const override { return exercise; }
    int payoffIndex() const override { return payoff; }
    tarvic::ProductInputs& productInputs() override { return inputs; }

    QString exercise;
    int payoff = 0;
    tarvic::ProductInputs inputs;
};

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        tarvic::gPdeSettings = tarvic::PdeSettings{};
        tarvic::gMcSettings = tarvic::McSettings{};
    }

    tarvic::ScriptedMessageBoxes boxes;
    tarvic::NonBlockingDialogs shows;
};

}  // namespace settings_test
