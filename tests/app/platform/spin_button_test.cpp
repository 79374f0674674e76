#include "platform/spin_button.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QToolButton>

using tarvic::SpinButton;

TEST(SpinButton, HoldsItsValueWithinTheRangeAndFiresOnlyOnChange)
{
    SpinButton spin;
    spin.setRange(10, 30);
    spin.setValue(19);
    QSignalSpy changes(&spin, &SpinButton::Change);

    spin.setValue(19);  // the same value: no Change
    EXPECT_EQ(changes.count(), 0);
    spin.setValue(45);
    EXPECT_EQ(spin.value(), 30);
    spin.setValue(-3);
    EXPECT_EQ(spin.value(), 10);
    EXPECT_EQ(changes.count(), 2);
}

TEST(SpinButton, ArrowsStepByTheIncrementAndStopAtTheEnds)
{
    SpinButton spin;
    spin.setRange(10, 31);
    spin.setIncrement(1);
    spin.setValue(30);
    QSignalSpy changes(&spin, &SpinButton::Change);

    spin.upButton()->click();
    EXPECT_EQ(spin.value(), 31);
    spin.upButton()->click();  // at the maximum: stays, no Change
    EXPECT_EQ(spin.value(), 31);
    EXPECT_EQ(changes.count(), 1);

    spin.setIncrement(4);
    spin.setValue(12);
    spin.downButton()->click();  // 8 is below the minimum
    EXPECT_EQ(spin.value(), 10);
}
