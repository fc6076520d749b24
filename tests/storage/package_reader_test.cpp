// filled in by the package reader work
