#pragma once
// Long copies call their gate between buffers, so a paused install stops writing within one
// buffer rather than at the end of a file of any size.

class ICopyGate {
 public:
  virtual void BetweenBuffers() = 0;

 protected:
  ~ICopyGate() = default;
};
