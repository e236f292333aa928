// placeholder for the Calibrate operation, replaced as the operations are built
