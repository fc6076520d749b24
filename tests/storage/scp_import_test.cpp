// filled in by the SCP reader work
