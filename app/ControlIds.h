#pragma once

// Identifiers of the main window's controls, menu commands and pictures.
// They are the numbers every part of the window agrees on, so that the
// window's logic can name a control without knowing how it is drawn.
namespace ControlId {
inline constexpr int ProgramCardStateLabel = 1000;
inline constexpr int VersionLabel = 1001;
inline constexpr int EscModelLabel = 1002;
inline constexpr int EscStateLabel = 1003;
inline constexpr int StatusLabel = 1004;
inline constexpr int ProgramCardFirmwareCombo = 1005;
inline constexpr int EscModelCombo = 1006;
inline constexpr int EscFirmwareCombo = 1007;
inline constexpr int ProgramCardIndicator = 1008;
inline constexpr int EscModelIndicator = 1009;
inline constexpr int EscIndicator = 1010;
inline constexpr int ProgramCardSaveButton = 1011;
inline constexpr int EscModelSelectButton = 1012;
inline constexpr int EscFirmwareSaveButton = 3;
} // namespace ControlId

namespace CommandId {
inline constexpr int SystemAbout = 0x0010;
inline constexpr int FileExit = 32772;
inline constexpr int DeviceEsc = 32774;
inline constexpr int DeviceProgramCard = 32775;
inline constexpr int DeviceFixMode = 32776;
inline constexpr int HelpAbout = 32778;
} // namespace CommandId

namespace PictureId {
inline constexpr int Background = 129;
inline constexpr int EscInactive = 133;
inline constexpr int EscModelInitial = 134;
inline constexpr int ProgramCardInactive = 135;
inline constexpr int EscActive = 136;
inline constexpr int ProgramCardActive = 138;
inline constexpr int EscSave = 139;
inline constexpr int SelectButton = 140;
inline constexpr int ProgramCardSave = 141;
inline constexpr int EscModelActive = 142;
inline constexpr int ProgramCardSaveOver = 143;
inline constexpr int EscSaveOver = 144;
inline constexpr int SelectButtonOver = 145;
} // namespace PictureId
