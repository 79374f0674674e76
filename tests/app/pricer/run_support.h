// A pricer window ready for a run: the window shown from the Tools menu, a
// library of the test's choice, and a way to type the inputs the way a user
// does. The finite-difference and the Monte Carlo windows alike; the
// recording stand-in library for either.
#pragma once

#include "support/app_fixture.h"

#include "fake_library/tv_record.h"

#include "platform/spin_button.h"
#include "platform/tarvic_library.h"
#include "settings/frmResol.h"
#include "settings/frmResolMC.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <dlfcn.h>


// A pricer window shown from the main window's Tools menu.
class PricerRunFixture : public AppFixture {
protected:
    void TearDown() override
    {
        tarvic::TarvicLibrary::instance().setLibraryPath(QString());
        tarvic::setDoEventsHook({});
        tarvic::setTickSource({});
        AppFixture::TearDown();
    }

    // The market data of a plain contract.
    void typeInputs(const char* spot = "100", const char* strike = "100",
                    const char* vol = "20", const char* rate = "5", const char* div = "0",
                    const char* expiry = "1")
    {
        ui(w).txtAsset->setText(QString::fromLatin1(spot));
        ui(w).txtStrike->setText(QString::fromLatin1(strike));
        ui(w).txtVol->setText(QString::fromLatin1(vol));
        ui(w).txtIntRate->setText(QString::fromLatin1(rate));
        ui(w).txtDiv->setText(QString::fromLatin1(div));
        ui(w).txtExpi->setText(QString::fromLatin1(expiry));
    }

    void choosePayoff(int index) { w->setListIndex(ui(w).cboPayoff, index); }
    void chooseExercise(int index) { w->setListIndex(ui(w).cboExercise, index); }

    // Calculate as the user presses it; returns once the run has ended.
    void calculate()
    {
        ui(w).cmdCalc->click();
        waitForRunEnd(*w);
    }

    frmOptions* w = nullptr;
};

class PdeWindowFixture : public PricerRunFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        dorn->mnuPDEOptions->trigger();
        w = &gFrmPDE();
        resol = &gFrmResol(w);
    }

    // User-defined resolution in the settings dialog.
    void setSteps(const char* assetSteps, const char* timeSteps)
    {
        resol->setListIndex(resol->cboResol, 3);
        resol->txtNoA->setText(QString::fromLatin1(assetSteps));
        resol->txtTS->setText(QString::fromLatin1(timeSteps));
    }

    frmResol* resol = nullptr;
};

class McWindowFixture : public PricerRunFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        dorn->mnuMCOptions->trigger();
        w = &gFrmMC();
        resolMC = &gFrmResolMC(w);
    }

    // Sobol points: 2^exponent paths (the spin button moves the box).
    void sobolPaths(int exponent)
    {
        resolMC->optRNG[0]->setChecked(true);
        resolMC->UpDownPow->setValue(exponent);
    }
    // Pseudo-random numbers: thousands of paths, as typed.
    void pseudoRandomPaths(const char* thousands)
    {
        resolMC->optRNG[1]->setChecked(true);
        resolMC->txtPaths->setText(QString::fromLatin1(thousands));
    }

    frmResolMC* resolMC = nullptr;
};

// Either window with the recording stand-in library.
template <typename WindowFixture>
class WithRecordingLibrary : public WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        tarvic::TarvicLibrary::instance().setLibraryPath(QStringLiteral(TARVIC_RECORDING_LIBRARY));
        handle = dlopen(TARVIC_RECORDING_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr);
        record = reinterpret_cast<TvRecord* (*)()>(dlsym(handle, "tvRecorded"))();
        scriptFn = reinterpret_cast<void (*)(int32_t, double, const char*)>(dlsym(handle, "tvScript"));
        closedFormFn = reinterpret_cast<void (*)(double)>(dlsym(handle, "tvScriptClosedForm"));
        holdFn = reinterpret_cast<void (*)(int32_t)>(dlsym(handle, "tvHold"));
        releaseFn = reinterpret_cast<void (*)()>(dlsym(handle, "tvRelease"));
        heldFn = reinterpret_cast<int32_t (*)()>(dlsym(handle, "tvHeld"));
        ASSERT_TRUE(scriptFn && closedFormFn && holdFn && releaseFn && heldFn);
        script(-1, 200.0, nullptr);
        scriptClosedForm(__builtin_nan(""));
    }

    void TearDown() override
    {
        // A call still held would keep the window's worker waiting.
        if (holdFn) {
            holdFn(0);
            releaseFn();
        }
        WindowFixture::TearDown();
        if (handle)
            dlclose(handle);
    }

    // lastNode -1: the asset steps passed in (finite differences), the
    // library's own row count (Monte Carlo); top < 0: a non-uniform grid.
    void script(int32_t lastNode, double top, const char* failure)
    {
        scriptFn(lastNode, top, failure);
    }
    // The value the closed forms at one spot give (NaN: spot / 10).
    void scriptClosedForm(double value) { closedFormFn(value); }

    // Slow library calls: from holdCalls() on, each call waits until
    // releaseCalls(). waitUntilHeld() lets the window's events run until a
    // call is waiting (false after ten seconds without one).
    void holdCalls() { holdFn(1); }
    void releaseCalls() { releaseFn(); }
    bool callHeld() const { return heldFn() != 0; }
    bool waitUntilHeld()
    {
        for (int i = 0; i < 10000 && !callHeld(); ++i)
            QTest::qWait(1);
        return callHeld();
    }

    void* handle = nullptr;
    TvRecord* record = nullptr;
    void (*scriptFn)(int32_t, double, const char*) = nullptr;
    void (*closedFormFn)(double) = nullptr;
    void (*holdFn)(int32_t) = nullptr;
    void (*releaseFn)() = nullptr;
    int32_t (*heldFn)() = nullptr;
};

using RecordingFixture = WithRecordingLibrary<PdeWindowFixture>;
using McRecordingFixture = WithRecordingLibrary<McWindowFixture>;
