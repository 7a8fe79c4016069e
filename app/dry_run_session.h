#pragma once
// A run with "dryrun": the gate is put in place once the options are read,
// every change it is told of becomes an INFO line "Would <action> <item>",
// and at the end the real calls come back before the report is written, and
// the console gets the summary.
#include "app/dry_run_record.h"

namespace zor {

class RunContext;

class DryRunSession {
 public:
  explicit DryRunSession(RunContext& context) : context_(context) {}
  ~DryRunSession() { Finish(); }
  DryRunSession(const DryRunSession&) = delete;
  DryRunSession& operator=(const DryRunSession&) = delete;

  // Does nothing without "dryrun".
  void Start();
  // Ends the dry run and puts its changes into the report; once.
  void Finish();

 private:
  RunContext& context_;
  DryRunRecord record_;
  bool started_ = false;
};

}  // namespace zor
