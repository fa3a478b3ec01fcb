#include "mail/check/mail_check_schedule.h"

#include "base/application.h"
#include "base/settings_table.h"

namespace vyr {

bool MailCheckSchedule::MinutePassed(bool online) {
  // Read at every tick: a period changed in the settings counts from now.
  const int period = app_.Get(kEmailMinutesBetweenChecks);
  if (period <= 0) return false;
  if (minutes_ < period) ++minutes_;
  if (minutes_ < period || !online || app_.Get(kEmailUseVyrMail) != 1) return false;
  minutes_ = 0;
  return true;
}

}  // namespace vyr
