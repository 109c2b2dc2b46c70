// The precompiled Qt headers of the tests are built with this empty file.
