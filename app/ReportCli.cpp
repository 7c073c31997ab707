// `report`: the overview's figures as tab-separated text, from the same
// queries the overview window runs.
#include <ostream>

#include "app/CliCommands.h"
#include "app/Overview.h"

namespace {

int Report(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const char* usage = "usage: tallybrook report [--from yyyy-mm-dd --to yyyy-mm-dd]\n";
    std::chrono::year_month_day today = LocalToday();
    TSpanRange range = SpanRange(TSpan::Days30, today);
    if (!args.empty()) {
        if (args.size() != 4 || args[0] != "--from" || args[2] != "--to") {
            err << "--from and --to go together\n" << usage;
            return 2;
        }
        auto from = ParseDay(args[1]), to = ParseDay(args[3]);
        if (!from || !to) {
            err << "dates are written yyyy-mm-dd, e.g. 2024-03-31\n" << usage;
            return 2;
        }
        if (*to < *from) {
            err << "--to lies before --from\n" << usage;
            return 2;
        }
        range = {*from, *to, false};
    }
    store::Connection c;
    out << OverviewReport(LoadOverview(c, range, today, 0));
    return 0;
}

}  // namespace

std::vector<TCliCommand> ReportCommands()
{
    return {{"report", "report [--from yyyy-mm-dd --to yyyy-mm-dd]",
             "Prints the overview as tab-separated text: the figures of today, the last 7 days, "
             "this month, "
             "the last 30 days and the chosen days (by default the last 30), one line per day, and "
             "the 10 best "
             "sellers by profit and by quantity.",
             Report}};
}
