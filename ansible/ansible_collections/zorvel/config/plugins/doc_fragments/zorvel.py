# -*- coding: utf-8 -*-
# Copyright: ZORVEL Custom Config developers
# MIT License (see the LICENSE file of ZORVEL Custom Config)

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    """The options with which every module of the collection reaches zorvel."""

    DOCUMENTATION = r'''
options:
  timeout:
    description:
      - How long to wait for each reply of a module, in milliseconds.
    type: int
    default: 1000
  executable:
    description:
      - The C(zorvel) program to run, by name on C(PATH) or by absolute path.
    type: str
    default: zorvel
requirements:
  - zorvel, the command line of ZORVEL Custom Config, on the managed host
'''
