// What the Playback and Record Mixer pages share: columns of a line's name,
// volume and balance sliders and check box, bound to the lines of one
// destination of the card's mixer, which is open while the page's dialog
// exists. The settings live in the mixer: nothing goes to or comes from the
// driver, and the panel's Apply button is never enabled.
#ifndef VTPANEL_MIXER_MIXER_PAGE_H
#define VTPANEL_MIXER_MIXER_PAGE_H

#include <stdint.h>

#include "mixer/mixer_access.h"
#include "panel/page.h"

// A column's controls and the line it shows: a source of the page's
// destination by its position, or (-1) the destination itself.
struct MixerColumn {
    int nameId;
    int volumeId;   // vertical track bar 0..15, 0 the loudest
    int balanceId;  // horizontal track bar 0..32, 16 the centre
    int boxId;      // check box
    int source;
};

class MixerPage : public ControlPanelPage {
public:
    MixerPage(const MixerColumn *columns, MixerLineRecord *records, int columnCount, DWORD destinationType);

    int ReadFromDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    int WriteToDriver(IDirectSound *directSound, IKsPropertySet *propertySet) override;
    // Reads every bound column from the mixer and shows it.
    int ShowSettings(HWND page) override;
    int TakeSettings(HWND page) override;

    // Opens the mixer for the page's window and binds each column to its
    // line; false when the mixer could not be read while binding.
    bool BindColumns(HWND page);

    uint32_t mixerPageDevice;  // found when the object is made, at program start
    HMIXER mixerHandle;        // open while the page's dialog exists

protected:
    // The check box's state for a column's line, read from the mixer.
    virtual uint32_t ReadSwitch(MixerLineRecord *record) = 0;

private:
    const MixerColumn *columns_;
    MixerLineRecord *records_;
    int columnCount_;
    DWORD destinationType_;
};

// The record a bound column's control carries; null for an unbound column.
MixerLineRecord *ColumnRecord(HWND control);
// The page object of a mixer page's window.
MixerPage *MixerPageOf(HWND page);

// The dialog procedures' shared handlers: WM_INITDIALOG (its result), a
// slider's scroll message, MM_MIXM_CONTROL_CHANGE and WM_DESTROY.
BOOL MixerPageCreated(HWND page, LPARAM object);
void MixerSliderMoved(HWND page, HWND slider, bool balanceSlider);
void MixerChanged(HWND page);
void MixerPageDestroyed(HWND page);

#endif
