// Stands for a header of the seam.
