// Ownership of GSL objects, and GSL's error handling switched from abort() to return codes.
#pragma once

#include <gsl/gsl_bspline.h>
#include <gsl/gsl_interp.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>
#include <memory>

namespace calibration::gsl {

// GSL aborts the process on an error unless told otherwise; every calibration entry point
// that calls GSL calls this first. The fitting code checks return codes itself.
void UseReturnCodes();

struct Deleter {
    void operator()(gsl_vector* v) const { gsl_vector_free(v); }
    void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
    void operator()(gsl_bspline_workspace* w) const { gsl_bspline_free(w); }
    void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
    void operator()(gsl_interp* i) const { gsl_interp_free(i); }
};

using Vector = std::unique_ptr<gsl_vector, Deleter>;
using Matrix = std::unique_ptr<gsl_matrix, Deleter>;
using BSpline = std::unique_ptr<gsl_bspline_workspace, Deleter>;
using NonlinearFit = std::unique_ptr<gsl_multifit_nlinear_workspace, Deleter>;

} // namespace calibration::gsl
