#pragma once
// The user CPU time of this process so far, in seconds, as `openssl speed` counts it: other
// processes on a shared machine stay out of the figure.
double UserSeconds();
