// vexlo-board admin: the operators' command line, run by whoever can reach
// the database (DATABASE_URL). Every action is logged with "cli:" and the
// system's user as who did it.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace board {

extern const char* const AdminUsage;

// args: what follows "admin". The exit status: 0 done, 1 not done (said on
// err), 2 a bad command line.
int runAdmin(const std::vector<std::string>& args, const std::string& databaseUrl, std::ostream& out,
             std::ostream& err);

} // namespace board
