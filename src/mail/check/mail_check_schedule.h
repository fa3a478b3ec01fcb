#pragma once
// MailCheckSchedule: when the mail window's automatic check is due. The
// window ticks it once a minute (its one-minute timer); [email]
// MinutesBetweenChecks is the period, 0 (or less) for none.
//
// The period is a least distance: the count of minutes starts again at
// every check the window starts, whoever started it (Send & Receive, the
// start-up check, an automatic one), so an automatic check never follows
// another check sooner than the period. While the machine is offline or
// [email] UseVyrMail is not 1 no check is due and the count keeps growing,
// so the check follows at the first minute that allows one.
namespace vyr {

class Application;

class MailCheckSchedule {
 public:
  explicit MailCheckSchedule(const Application& app) : app_(app) {}

  // One minute has passed. True when a check is to start now; the count
  // then starts again.
  bool MinutePassed(bool online);
  // A check has started: the count starts again.
  void CheckStarted() { minutes_ = 0; }
  int Minutes() const { return minutes_; }

 private:
  const Application& app_;
  int minutes_ = 0;
};

}  // namespace vyr
