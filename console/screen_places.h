// Where the console draws, in client pixels: the place of every field whose text changes, and
// every fixed text with its place and the bytes drawn. Every drawer takes its position from here.
#pragma once

#include "console/screen_texts.h"

namespace kt57 {

struct ScreenPlace {
    int x;
    int y;
};

struct PlacedText {
    ScreenPlace place;
    const char* bytes;
    int length;
};

// Fields.
inline constexpr ScreenPlace statusLinePlace{10, 10};     // run state, sleep countdown, start-up failures
inline constexpr ScreenPlace messageFieldPlace{310, 10};  // the version text, or an error over it
inline constexpr ScreenPlace headerPlace{10, 40};
inline constexpr ScreenPlace lineNumberPlace{120, 40};
inline constexpr ScreenPlace indicatorPlace{200, 40};
inline constexpr ScreenPlace labelFieldPlace{320, 40};
inline constexpr ScreenPlace loopCounterPlace{85, 70};
inline constexpr ScreenPlace commandFramePlace{205, 70};
inline constexpr ScreenPlace replyFramePlace{355, 70};

// Fixed texts.
inline constexpr PlacedText placedBanner{{20, 40}, titleBannerText, titleBannerLength};
inline constexpr PlacedText placedVersion{messageFieldPlace, versionText, versionLength};
inline constexpr PlacedText placedLabelCaption{{260, 40}, labelCaptionText, labelCaptionLength};
inline constexpr PlacedText placedRegisterCaption{{10, 70}, registerCaptionText, registerCaptionLength};
inline constexpr PlacedText placedSendCaption{{140, 70}, sendCaptionText, sendCaptionLength};
inline constexpr PlacedText placedReceiveCaption{{290, 70}, receiveCaptionText, receiveCaptionLength};

inline constexpr PlacedText placedNoConnection{statusLinePlace, noConnectionText, noConnectionLength};
inline constexpr PlacedText placedNoProgramData{statusLinePlace, noProgramDataText, noProgramDataLength};
inline constexpr PlacedText placedRunning{statusLinePlace, runningText, runningLength};
inline constexpr PlacedText placedStoppedAuto{statusLinePlace, stoppedAutoText, stoppedAutoLength};
inline constexpr PlacedText placedStoppedAutoContinue{statusLinePlace, stoppedAutoContinueText,
                                                      stoppedAutoContinueLength};
inline constexpr PlacedText placedStoppedStep{statusLinePlace, stoppedStepText, stoppedStepLength};
inline constexpr PlacedText placedStoppedStepContinue{statusLinePlace, stoppedStepContinueText,
                                                      stoppedStepContinueLength};
inline constexpr PlacedText placedSteppingWait{statusLinePlace, steppingWaitText, steppingWaitLength};
inline constexpr PlacedText placedStepping{statusLinePlace, steppingText, steppingLength};

inline constexpr PlacedText placedDataError{messageFieldPlace, dataErrorText, dataErrorLength};
inline constexpr PlacedText placedLoopError{messageFieldPlace, loopErrorText, loopErrorLength};
inline constexpr PlacedText placedDeviceError{messageFieldPlace, deviceErrorText, deviceErrorLength};

}  // namespace kt57
