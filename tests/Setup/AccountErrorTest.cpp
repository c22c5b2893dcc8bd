// The account operations' error texts: one row per way through the reason
// table (recognised, known but not by this operation, unknown, depending on
// the operation), and the frame an enabling failure shows (the exception form
// is what SystemUserWine's create shows).
#include <gtest/gtest.h>

#include <string>

#include "Setup/AccountError.h"

namespace
{
const std::string kShortPasswordOnCreate = "The password is shorter than required, too long, too recent"
                                           " or not have enough unique characters.";

TEST(AccountErrorText, TheReasonDependsOnTheStatusAndTheOperation)
{
    const struct
    {
        AccountOperation operation;
        unsigned long status;
        std::string frame, reason;
    } cases[] = {
        {AccountOperation::Create, 2224, "AccountCreate", "The user account already exists."},
        {AccountOperation::Create, 2245, "AccountCreate", kShortPasswordOnCreate},
        {AccountOperation::Enable, 87, "AccountCreate", "One of the function parameters is invalid"},
        {AccountOperation::Delete, 2224, "AccountDelete", "Unspecified error."},
        {AccountOperation::GetInfo, 234, "AccountGetInfo", "Unspecified error."},
        {AccountOperation::ChangePassword, 2245, "AccountChangePassword",
         "The password is shorter than required."},
    };
    for (const auto& c : cases) {
        const std::string expected = "Error in " + c.frame + ":  " + c.reason;
        EXPECT_EQ(std::string(AccountStatusText(c.operation, c.status)), expected) << c.status;
    }
}
} // namespace
