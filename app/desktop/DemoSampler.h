#pragma once

#include <QString>

// The demo bundle's simulated sampler, plugged in and out through a file: the simulated flash
// tool finds its sampler connected while the file exists (its VTFLASH_SIM setting plug=PATH), and
// its watcher notices the file come and go.
class DemoSampler {
 public:
  // Points the simulated tool, as this process's children will run it, at a plug file: the one
  // VTFLASH_SIM already names, or else one in the user's runtime folder, added to the demo's own
  // scenario and made at once, so the demo starts with its sampler connected.
  DemoSampler();

  // Connects or disconnects the simulated sampler. False when the file could not be made or
  // removed.
  bool plugIn() const;
  bool unplug() const;

 private:
  QString plugPath_;
};
