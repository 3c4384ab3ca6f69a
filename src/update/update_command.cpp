#include "update/update_command.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSettings>

#include <memory>
#include <optional>

#include "base/parse_int.h"
#include "tools/morvactl/cli.h"
#include "update/update_client.h"

namespace morva::update {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage(std::ostream& err) {
    err << "morvactl: update takes check [--url URL] [--model ROW=VERSION]... (see --help)\n";
    return kExitUsage;
}

// The words of the service reach a terminal: no control characters.
std::string Printable(std::string text) {
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            c = '?';
    }
    return text;
}

std::string ResultText(const UpdateInfo& info) {
    if (info.failure != CheckFailure::None || info.status == kItemCheckFailed)
        return "check failed: " + std::string(FailureText(info.failure));
    if (info.status == kItemNeedUpdate || info.status == kItemNeedUpdateToo)
        return info.serverVersion;
    return "up to date";
}

// "ROW=VERSION": a device row of the model table and its version in hex.
bool ParseModel(const std::string& text, std::vector<ModelEntry>& entries, std::string& error) {
    const std::size_t equals = text.find('=');
    const std::string_view whole = text;
    const std::optional<long long> row =
        equals == std::string::npos
            ? std::nullopt
            : ParseInt(whole.substr(0, equals), 0, static_cast<long long>(entries.size()) - 1);
    std::string_view hex = equals == std::string::npos ? "" : whole.substr(equals + 1);
    if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X'))
        hex.remove_prefix(2);
    const std::optional<long long> version = ParseInt(hex, 1, 0xFFFFFFFFLL, 16);
    if (!row || !version || entries[static_cast<std::size_t>(*row)].kind == 0) {
        error =
            "--model takes ROW=VERSION: a device row of the update table and its version "
            "in hex, e.g. 0=0102";
        return false;
    }
    entries[static_cast<std::size_t>(*row)].version = static_cast<std::uint32_t>(*version);
    return true;
}

int Check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> url;
    std::vector<ModelEntry> table = ModelEntries();
    for (ModelEntry& entry : table) {
        if (entry.kind == 0) {
            std::string_view text = entry.versionText;
            if (!text.empty() && (text[0] == 'V' || text[0] == 'v'))
                text.remove_prefix(1);
            entry.version = InstalledVersionFrom(text);
        }
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--url" && i + 1 < args.size()) {
            url = args[++i];
        } else if (args[i] == "--model" && i + 1 < args.size()) {
            std::string error;
            if (!ParseModel(args[++i], table, error)) {
                err << "morvactl: " << error << '\n';
                return kExitUsage;
            }
        } else {
            return Usage(err);
        }
    }
    // The program itself always; a device only when its version was given.
    std::vector<ModelEntry> entries;
    for (const ModelEntry& entry : table) {
        if (entry.kind == 0 || entry.version != 0)
            entries.push_back(entry);
    }

    // QSettings and the network need an application object; morvactl has none of its own.
    std::unique_ptr<QCoreApplication> application;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "morvactl";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
    }

    QString base;
    if (url) {
        base = QString::fromStdString(*url).trimmed();
        if (!base.isEmpty() && !base.endsWith(QLatin1Char('/')))
            base += QLatin1Char('/');
    } else {
        // The program's own settings, where its settings window keeps the address.
        const QSettings settings(QStringLiteral("MORVA TR510 Device"),
                                 QStringLiteral("MORVA TR510"));
        base = UpdateServiceUrl(settings);
    }
    if (base.isEmpty()) {
        err << "morvactl: no update service configured: set MORVA_UPDATE_URL or --url\n";
        return kExitUsage;
    }
    const QUrl baseUrl(base, QUrl::StrictMode);
    if (!baseUrl.isValid() || baseUrl.scheme() != QLatin1String("https") ||
        baseUrl.host().isEmpty()) {
        err << "morvactl: the update service needs an https URL, not "
            << Printable(base.toStdString()) << '\n';
        return kExitUsage;
    }
    QString caError;
    const QList<QSslCertificate> cas = CaCertificatesFromEnvironment(&caError);
    if (!caError.isEmpty()) {
        err << "morvactl: MORVA_UPDATE_CA: " << caError.toStdString() << '\n';
        return kExitUsage;
    }

    CUpdateClient client(baseUrl);
    client.AddCaCertificates(cas);
    QEventLoop loop;
    int failures = 0;
    QObject::connect(&client, &CUpdateClient::EntryChecked, &loop,
                     [&](int, const UpdateInfo& info) {
                         out << Printable(info.name) << ' ' << Printable(info.localVersion)
                             << " -> " << Printable(ResultText(info)) << '\n';
                     });
    QObject::connect(&client, &CUpdateClient::Finished, &loop, [&](int failed) {
        failures = failed;
        loop.quit();
    });
    if (!client.Check(std::move(entries)))
        return kExitFailed;
    loop.exec();
    return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int RunUpdateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] != "check")
        return Usage(err);
    return Check({args.begin() + 1, args.end()}, out, err);
}

std::string UpdateCommandHelp() {
    std::string rows;
    const std::vector<ModelEntry> table = ModelEntries();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].kind != 0)
            rows += (rows.empty() ? "" : ", ") + std::to_string(i) + " " + DisplayName(table[i]);
    }
    return "  update check [--url URL] [--model ROW=VERSION]...\n"
           "                             ask the update service about the program and, for each\n"
           "                             --model, a device row of the update table at its VERSION\n"
           "                             (hex; rows: " +
           rows +
           "); one line each: \"NAME\n"
           "                             LOCAL -> NEWER\", \"... -> up to date\" or \"... -> "
           "check\n"
           "                             failed: REASON\". URL: --url, else $MORVA_UPDATE_URL, "
           "else\n"
           "                             the program's UPDATE_URL setting; $MORVA_UPDATE_CA names\n"
           "                             a PEM file of CA certificates trusted besides the\n"
           "                             system's. Exits 1 when a check failed\n";
}

void RegisterUpdateCommand() {
    cli::RegisterCommand("update", RunUpdateCommand, UpdateCommandHelp());
}

}  // namespace morva::update
