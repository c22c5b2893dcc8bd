// The voice dialog's texts that are not in the string table, Shift-JIS.
#pragma once

namespace voice_text {

// "IDとパスワードを入力してください。"
inline constexpr char kEnterIdAndPassword[] =
    "ID\x82\xC6\x83p\x83X\x83\x8F\x81[\x83h\x82\xF0\x93\xFC\x97\xCD\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2"
    "\x81\x42";
// "登録されない音声分かってします" (the user has no enrolled voice)
inline constexpr char kNoVoiceEnrolled[] =
    "\x93o\x98^\x82\xB3\x82\xEA\x82\xC8\x82\xA2\x89\xB9\x90\xBA\x95\xAA\x82\xA9\x82\xC1\x82\xC4\x82\xB5\x82\xDC\x82\xB7";
// "一致する使用者がいません。"
inline constexpr char kNoSuchUser[] =
    "\x88\xEA\x92v\x82\xB7\x82\xE9\x8Eg\x97p\x8E\xD2\x82\xAA\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x81\x42";
// "入力したパスワードが違います。"
inline constexpr char kWrongPassword[] =
    "\x93\xFC\x97\xCD\x82\xB5\x82\xBD\x83p\x83X\x83\x8F\x81[\x83h\x82\xAA\x88\xE1\x82\xA2\x82\xDC\x82\xB7\x81\x42";
// "By-passキーが存在しません。"
inline constexpr char kNoBypassKey[] = "By-pass\x83L\x81[\x82\xAA\x91\xB6\x8D\xDD\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x81\x42";
// "誤った“By-passキ－”です。"
inline constexpr char kWrongBypassKey[] = "\x8C\xEB\x82\xC1\x82\xBD\x81gBy-pass\x83L\x81|\x81h\x82\xC5\x82\xB7\x81\x42";
// "ドライブを選択"
inline constexpr char kChooseDrive[] = "\x83h\x83\x89\x83\x43\x83u\x82\xF0\x91I\x91\xF0";

// Caption of the bypass key's message boxes, and of the drive list's warning.
inline constexpr char kCaption[] = "Sonver";
inline constexpr char kNoDriveCaption[] = "OpenMarzet";
inline constexpr char kNoDrive[] = "There is not removable drive for backup the key.";

}  // namespace voice_text
