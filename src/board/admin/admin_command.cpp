#include "board/admin/admin_command.h"

#include "board/api/admin_request.h"
#include "board/api/run_request.h"
#include "board/db/migrate.h"
#include "board/db/moderation.h"
#include "board/names/player_name.h"
#include "board/names/secret.h"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <iomanip>
#include <map>
#include <ostream>
#include <set>

namespace board {

const char* const AdminUsage =
    R"(usage: vexlo-board admin hide RUN --reason TEXT | unhide RUN
       vexlo-board admin ban NAME --reason TEXT | unban NAME
       vexlo-board admin runs [--name NAME] [--status STATUS] [--limit K]
       vexlo-board admin log [--limit K]
       vexlo-board admin token create --note TEXT | token list | token revoke ID
       vexlo-board admin recount | migrate
On the database of DATABASE_URL; every action is written to the moderation log.
  hide, unhide   take a run off the board (its player sees the reason) and back
  ban, unban     hide every run under a name and its look-alikes, and refuse
                 new ones; unban shows the runs the ban hid again
  runs           the latest runs (STATUS: queued, verifying, verified,
                 rejected, hidden or stuck; K: 50)
  log            the latest actions (K: 50)
  token          tokens for the HTTP admin routes: create prints a new one
                 once (only its SHA-256 is kept), list shows them, revoke
                 ends one
  recount        counts the board afresh and says what it mended
  migrate        applies the schema's migrations (as the tables' owner)
)";

namespace {

struct Line {
    std::vector<std::string> words;             // the subcommand and its arguments
    std::map<std::string, std::string> options; // --name VALUE
    std::string problem;
};

Line parse(const std::vector<std::string>& args) {
    Line line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
            line.words.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        std::string option = arg.substr(0, equals), value;
        if (equals != std::string::npos)
            value = arg.substr(equals + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else
            return line.problem = "missing value after " + arg, line;
        if (line.options.count(option) != 0)
            return line.problem = option + " is given twice", line;
        line.options[option] = value;
    }
    return line;
}

// The name of the system's user who runs the command.
std::string systemUser() {
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr)
        return entry->pw_name;
    return "uid " + std::to_string(geteuid());
}

// What the database holds is shown, never acted on by the terminal.
std::string shown(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    return out;
}

bool whole(const std::string& text, long long low, long long high, long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

class Admin {
public:
    Admin(const Line& line, const std::string& url, std::ostream& out, std::ostream& err)
        : line_(line), url_(url), out_(out), err_(err), who_("cli:" + systemUser()) {}

    int run() {
        const std::vector<std::string>& w = line_.words;
        const std::string command = w.empty() ? "" : w[0] == "token" && w.size() > 1 ? "token " + w[1] : w[0];
        struct Shape {
            std::size_t words;
            std::set<std::string> options;
            const char* synopsis;
        };
        const std::map<std::string, Shape> shapes = {
            {"hide", {2, {"--reason"}, "hide RUN --reason TEXT"}},
            {"unhide", {2, {}, "unhide RUN"}},
            {"ban", {2, {"--reason"}, "ban NAME --reason TEXT"}},
            {"unban", {2, {}, "unban NAME"}},
            {"runs", {1, {"--name", "--status", "--limit"}, "runs [--name NAME] [--status STATUS] [--limit K]"}},
            {"log", {1, {"--limit"}, "log [--limit K]"}},
            {"token create", {2, {"--note"}, "token create --note TEXT"}},
            {"token list", {2, {}, "token list"}},
            {"token revoke", {3, {}, "token revoke ID"}},
            {"recount", {1, {}, "recount"}},
            {"migrate", {1, {}, "migrate"}},
        };
        const auto found = shapes.find(command);
        if (found == shapes.end())
            return usage(command.empty() ? "admin needs a command" : "unknown admin command: " + command);
        const Shape& shape = found->second;
        bool fits = w.size() == shape.words;
        for (const auto& [option, value] : line_.options)
            fits = fits && shape.options.count(option) != 0;
        for (const char* needed : {"--reason", "--note"})
            fits = fits && (shape.options.count(needed) == 0 || line_.options.count(needed) != 0);
        if (!fits)
            return usage(std::string("the command is: vexlo-board admin ") + shape.synopsis);
        try {
            db::Connection db(url_, std::chrono::seconds(60));
            const int applied = db::migrate(db);
            if (command == "migrate") {
                out_ << applied << " migration" << (applied == 1 ? "" : "s") << " applied\n";
                return 0;
            }
            return act(db, command);
        } catch (const std::runtime_error& e) { // the database away or refusing, no random bytes
            err_ << "vexlo-board admin: " << e.what() << "\n";
        }
        return 1;
    }

private:
    int usage(const std::string& why) {
        err_ << "vexlo-board admin: " << why << "\n(vexlo-board admin --help says more)\n";
        return 2;
    }
    int failed(const std::string& why) {
        err_ << "vexlo-board admin: " << why << "\n";
        return 1;
    }
    const std::string& word(std::size_t i) const { return line_.words[i]; }
    std::string option(const std::string& name) const {
        const auto found = line_.options.find(name);
        return found == line_.options.end() ? "" : found->second;
    }

    // The text of --reason or --note, checked as the HTTP routes check a reason.
    bool reason(const std::string& name, std::string& text) {
        const api::AdminBody checked = api::checkReason(option(name));
        text = checked.reason;
        if (!checked.error.empty())
            err_ << "vexlo-board admin: " << name << ": " << checked.error << "\n";
        return checked.error.empty();
    }

    bool runNumber(const std::string& text, long long& id) {
        if (whole(text, 1, 999999999999999, id))
            return true;
        err_ << "vexlo-board admin: not a run's number: " << shown(text) << "\n";
        return false;
    }

    bool name(const std::string& text, std::string& checked) {
        const api::CheckedName name = api::checkName(text, false);
        checked = name.name;
        if (!name.error.empty())
            err_ << "vexlo-board admin: " << name.error << "\n";
        return name.error.empty();
    }

    int act(db::Connection& db, const std::string& command) {
        if (command == "hide" || command == "unhide")
            return moderateRun(db, command == "hide");
        if (command == "ban" || command == "unban")
            return moderateName(db, command == "ban");
        if (command == "runs")
            return listRuns(db);
        if (command == "log")
            return showLog(db);
        if (command == "recount")
            return recount(db);
        return tokens(db, command);
    }

    int moderateRun(db::Connection& db, bool hide) {
        long long id = 0;
        std::string why;
        if (!runNumber(word(1), id) || (hide && !reason("--reason", why)))
            return 2;
        const db::ModerationResult done = hide ? db::hideRun(db, id, why, who_) : db::unhideRun(db, id, who_);
        switch (done.outcome) {
        case db::Moderated::NoSuchRun:
            return failed("no run " + std::to_string(id));
        case db::Moderated::NotHidden:
            return failed("run " + std::to_string(id) + " is not hidden");
        case db::Moderated::GameOnBoard:
            return failed("run " + std::to_string(id) + "'s game is on the board as run " +
                          std::to_string(done.otherRun) + "; hide that one first");
        case db::Moderated::Done:
            break;
        }
        out_ << "run " << id << (hide ? " hidden: " + shown(why) : " shown again") << "\n";
        return 0;
    }

    int moderateName(db::Connection& db, bool ban) {
        std::string checked, why;
        if (!name(word(1), checked) || (ban && !reason("--reason", why)))
            return 2;
        const names::NameKeys keys = names::nameKeys(checked);
        if (ban) {
            const long long hidden = db::banName(db, checked, keys, why, who_);
            out_ << shown(checked) << " banned: " << hidden << " run" << (hidden == 1 ? "" : "s") << " hidden\n";
            return 0;
        }
        const auto again = db::unbanName(db, checked, keys, who_);
        if (!again)
            return failed(shown(checked) + " is not banned");
        out_ << shown(checked) << " unbanned: " << *again << " run" << (*again == 1 ? "" : "s")
             << " shown again\n";
        return 0;
    }

    bool limit(long long& value) {
        const std::string text = option("--limit");
        if (text.empty() || whole(text, 1, 100000, value))
            return true;
        err_ << "vexlo-board admin: --limit takes a whole number from 1 to 100000\n";
        return false;
    }

    int listRuns(db::Connection& db) {
        db::RunFilter filter;
        filter.status = option("--status");
        if (!filter.status.empty() && !db::isRunStatus(filter.status))
            return usage("--status takes queued, verifying, verified, rejected, hidden or stuck");
        if (line_.options.count("--name") != 0) {
            std::string checked;
            if (!name(option("--name"), checked))
                return 2;
            filter.name = names::nameKeys(checked);
        }
        if (!limit(filter.limit))
            return 2;
        out_ << "     run  submitted             status        score  name\n";
        for (const db::RunLine& r : db::listRuns(db, filter)) {
            out_ << std::setw(8) << r.id << "  " << r.submitted << "  " << std::left << std::setw(10) << r.status
                 << std::right << std::setw(9) << (r.score ? std::to_string(*r.score) : "-") << "  "
                 << shown(r.name);
            if (!r.why.empty())
                out_ << "  (" << shown(r.why) << ")";
            out_ << "\n";
        }
        return 0;
    }

    int showLog(db::Connection& db) {
        long long count = 50;
        if (!limit(count))
            return 2;
        const db::LogPage page = db::readLog(db, count, 0);
        out_ << page.total << " action" << (page.total == 1 ? "" : "s") << " logged, the latest first\n";
        for (const db::LogEntry& e : page.entries) {
            out_ << e.at << "  " << shown(e.who) << "  " << e.action;
            if (e.run)
                out_ << " run " << *e.run;
            if (e.name)
                out_ << " " << shown(*e.name);
            if (e.reason)
                out_ << ": " << shown(*e.reason);
            out_ << "\n";
        }
        return 0;
    }

    int recount(db::Connection& db) {
        const std::vector<std::string> mended = db::recount(db, who_);
        for (const std::string& line : mended)
            out_ << "mended " << line << "\n";
        out_ << (mended.empty() ? "every count equals a fresh count: nothing to mend"
                                : "mended " + std::to_string(mended.size()) + " counts")
             << "\n";
        return 0;
    }

    int tokens(db::Connection& db, const std::string& command) {
        if (command == "token create") {
            std::string note;
            if (!reason("--note", note))
                return 2;
            const std::string token = names::newSecret();
            const long long id = db::createToken(db, names::digestOf(token), note, who_);
            err_ << "token " << id << " made for " << shown(note) << "; it is shown only this once:\n";
            out_ << token << "\n";
            return 0;
        }
        if (command == "token list") {
            out_ << "  id  created               revoked               note\n";
            for (const db::AdminToken& t : db::listTokens(db))
                out_ << std::setw(4) << t.id << "  " << t.created << "  " << std::left << std::setw(20)
                     << t.revoked.value_or("-") << std::right << "  " << shown(t.note) << "\n";
            return 0;
        }
        long long id = 0;
        if (!whole(word(2), 1, 2147483647, id))
            return usage("not a token's number: " + shown(word(2)));
        if (!db::revokeToken(db, id, who_))
            return failed("no token " + std::to_string(id) + " to revoke");
        out_ << "token " << id << " revoked\n";
        return 0;
    }

    const Line& line_;
    std::string url_;
    std::ostream& out_;
    std::ostream& err_;
    std::string who_;
};

} // namespace

int runAdmin(const std::vector<std::string>& args, const std::string& databaseUrl, std::ostream& out,
             std::ostream& err) {
    const Line line = parse(args);
    if (!line.problem.empty()) {
        err << "vexlo-board admin: " << line.problem << "\n" << AdminUsage;
        return 2;
    }
    return Admin(line, databaseUrl, out, err).run();
}

} // namespace board
