#pragma once

#include <string_view>

// Every text the main window logs or shows, in one place, so that a change of wording or a new
// message is made here; the socket component's error texts are its own.
namespace FormTexts {

// What the message box says when the program cannot start.
inline constexpr std::string_view TextStartUpFailed = "Winsock の初期化に失敗しました。";

// The marks in front of a line sent or received.
inline constexpr std::string_view SendMark = "<Send> ";
inline constexpr std::string_view RecvMark = "<Recv> ";

inline constexpr std::string_view TextConnected = "に接続しました";
inline constexpr std::string_view TextDisconnected = "接続を切断しました。";
inline constexpr std::string_view TextClosedByServer = "接続が切断されました。";
inline constexpr std::string_view TextErrorPrefix = "エラー：";
inline constexpr std::string_view TextCannotConnect = "エラー：ホストに接続できません。";
inline constexpr std::string_view TextHostNotFound = "エラー：ホストが見つかりません。";
inline constexpr std::string_view TextBadPort = "エラー：ポート番号が正しくありません。";
inline constexpr std::string_view TextNotConnected = "エラー：接続されていません。";
inline constexpr std::string_view TextLineBreakInLine = "エラー：改行を含む行は送信できません。";
inline constexpr std::string_view TextConversionFailed = "エラー：漢字コードの変換に失敗しました。";
inline constexpr std::string_view TextUnsendable =
    "エラー：Shift_JIS で送れない文字を含む行は送信できません。";
inline constexpr std::string_view TextLineTooLong = "エラー：行が長すぎて送信できません。";
inline constexpr std::string_view TextSendQueueFull = "エラー：送信待ちのデータが多すぎます。";
inline constexpr std::string_view TextUnknownFailure = "原因の分からない障害が起きました。";

// Encrypted connections: the entry after the connection's (protocol, then the two parts around the
// certificate's fingerprint), the certificate a refused server showed, and a pin that is none.
inline constexpr std::string_view TextEncryptedBefore = " で暗号化しています（証明書 SHA-256 ";
inline constexpr std::string_view TextEncryptedAfter = "）。";
inline constexpr std::string_view TextServerCertificate = "サーバーの証明書は SHA-256 ";
inline constexpr std::string_view TextServerCertificateAfter = " です。";
inline constexpr std::string_view TextBadFingerprint =
    "エラー：証明書のフィンガープリントが正しくありません（SHA-256 の 16 進数 64 桁）。";

} // namespace FormTexts
