// The account operations' error texts: every status of the reason table for
// every operation, written out as the table reads, and the exception form.
#include <gtest/gtest.h>

#include <string>

#include "Setup/AccountError.h"

namespace
{
struct OperationColumn
{
    AccountOperation operation;
    const char* column;   // its name in the table's last column
    const char* frame;
};

const OperationColumn kOperations[] = {
    {AccountOperation::Create, "Cr", "AccountCreate"},
    {AccountOperation::Enable, "En", "AccountCreate"},
    {AccountOperation::Delete, "De", "AccountDelete"},
    {AccountOperation::Exist, "Ex", "AccountExist"},
    {AccountOperation::GetInfo, "GI", "AccountGetInfo"},
    {AccountOperation::InsertInGroup, "In", "AccountInsertInGroup"},
    {AccountOperation::DeleteInGroup, "DG", "AccountDeleteInGroup"},
    {AccountOperation::ChangePassword, "CP", "AccountChangePassword"},
};

struct Row
{
    unsigned long status;
    const char* reason;
    const char* recognisedBy;
};

const char kAll[] = "Cr En De Ex GI In DG CP";

const Row kRows[] = {
    {5, "The user does not have access to the requested information.", kAll},
    {86, "The user has entered an invalid password.", "CP"},
    {87, "One of the function parameters is invalid", "En"},
    {1378, "One or more of the members specified were already members of the local group. No new members were added.",
     "In DG"},
    {1387, "One or more of the members specified do not exist. Therefore, no new members were added.", "In DG"},
    {1388,
     "One or more of the members cannot be added because their account type is invalid. No new members were added.",
     "In"},
    {2220, "The local group specified by the groupname parameter does not exist.", "In DG"},
    {2221, "The user name could not be found.", "En De Ex GI CP"},
    {2223, "The group already exists.", "Cr"},
    {2224, "The user account already exists.", "Cr"},
    {2226, "The operation is allowed only on the primary domain controller of the domain.", "Cr En De CP"},
    {2234, "The operation is not allowed on specified special groups.", "En"},
    {2245, "The password is shorter than required, too long, too recent or not have enough unique characters.",
     "Cr En"},
    {2245, "The password is shorter than required.", "CP"},
    {2351, "The computer name is invalid.", "Cr En De Ex GI CP"},
    {2452, "The operation is not allowed on the last administrative account..", "En"},
    {234, "", ""},   // a status no operation lists
};

// Each operation's text for every status, and its exception form (one blank;
// enabling reports as the create).
TEST(AccountErrorText, EveryStatusForEveryOperation)
{
    for (const OperationColumn& op : kOperations) {
        for (const Row& row : kRows) {
            // 2245 has a reason for Cr/En and another for CP: take the row that applies.
            std::string reason = "Unspecified error.";
            for (const Row& candidate : kRows) {
                const std::string columns = candidate.recognisedBy;
                if (candidate.status == row.status && columns.find(op.column) != std::string::npos)
                    reason = candidate.reason;
            }
            EXPECT_EQ(std::string(AccountStatusText(op.operation, row.status)),
                      std::string("Error in ") + op.frame + ":  " + reason)
                << op.column << " status " << row.status;
        }
        EXPECT_EQ(std::string(AccountExceptionText(op.operation)),
                  std::string("Error in ") + op.frame + ": Unspecified error.")
            << op.column;
    }
}
} // namespace
