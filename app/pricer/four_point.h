// Values between the nodes of a solution: the polynomial of degree three
// through four points, and the straight line through two.
#pragma once

namespace tarvic {

// The Lagrange polynomial of degree three through (xs[k], fs[k]), k = 0..3,
// at x. Two equal abscissas raise the runtime's division by zero.
double fourPointValue(double x, const double xs[4], const double fs[4]);

// The straight line through (x0, f0) and (x1, f1) at x; equal abscissas
// raise division by zero.
double twoPointValue(double x, double x0, double x1, double f0, double f1);

}  // namespace tarvic
