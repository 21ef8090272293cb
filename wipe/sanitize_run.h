#pragma once
// The disk's own sanitize as a run: on a disk the run holds (its volumes secured, its handle
// open for reading and writing), samples read before, the control sent from a worker while the
// front end keeps pumping, the disk watched until it reports the erase done, the samples read
// again and compared. It cannot be stopped once sent, so Cancel is disabled meanwhile; it keeps
// no breakpoint record, since the disk carries an interrupted sanitize on by itself.

#include <functional>

#include "devices/target.h"
#include "platform/platform.h"
#include "wipe/run_context.h"

// Everything it did is in context.result; `release` lets the disk go. True when the disk
// reported the sanitize done and no sample kept its former content.
bool SanitizeHeldDisk(RunContext& context, const Target& target, const platform::Device& disk,
                      const std::function<void()>& release);
