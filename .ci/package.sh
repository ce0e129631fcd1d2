#!/usr/bin/env bash
# Filled in by the package work.
echo "(no package step yet)"
