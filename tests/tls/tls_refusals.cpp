#include "tests/tls/tls_refusals.h"

std::vector<TlsRefusal> TlsRefusals(TestCertificates& c) {
    const auto serving = [](const TestCertificates::Pair& identity) {
        return TlsRelay::Options{.Identity = identity};
    };
    const auto shown = [&](const TestCertificates::Pair& pair) {
        return "サーバーの証明書は SHA-256 " + c.Fingerprint(pair) + " です。";
    };
    const auto plaintext = [&](const std::string& bytes) {
        return TlsRelay::Options{.Identity = c.Server(), .Plaintext = bytes};
    };
    const TlsRelay::Options tls11{.Identity = c.Server(), .OnlyTls11 = true};
    const std::string untrusted = "エラー：サーバーの証明書は信頼されていません。";
    const std::string handshakeFailed = "エラー：TLS のハンドシェイクに失敗しました。";
    return {
        {"self-signed", c.Ca(), serving(c.SelfSigned()), "", {untrusted, shown(c.SelfSigned())}},
        {"wrong name",
         c.Ca(),
         serving(c.OtherName()),
         "",
         {"エラー：サーバーの証明書は別のホストのものです。", shown(c.OtherName())}},
        {"expired",
         c.Ca(),
         serving(c.Expired()),
         "",
         {"エラー：サーバーの証明書は有効期限が切れているか、まだ有効になっていません。",
          shown(c.Expired())}},
        {"pin mismatch",
         c.Ca(),
         serving(c.Server()),
         "#" + c.Fingerprint(c.SelfSigned()),
         {"エラー：サーバーの証明書が指定されたフィンガープリントと一致しません。",
          shown(c.Server())}},
        {"offers only TLS 1.1", c.Ca(), tls11, "", {handshakeFailed}},
        {"plaintext IRC server",
         c.Ca(),
         plaintext(":irc.test NOTICE * :*** Looking up your hostname\r\n"),
         "",
         {handshakeFailed}},
        {"closes at once", c.Ca(), plaintext(""), "", {handshakeFailed}},
        {"garbage in a handshake record",
         c.Ca(),
         plaintext(std::string("\x16\x03\x03\x00\x04\x0e\xff\xff\xff", 9)),
         "",
         {handshakeFailed}},
        {"untrusted CA",
         c.SelfSigned().Certificate,
         serving(c.Server()),
         "",
         {untrusted, shown(c.Server())}},
    };
}
